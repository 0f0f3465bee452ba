// The sandbox download server's document root, seen from inside Wine. Tests publish the
// files a download should find there and remove them afterwards. A test run outside the
// sandbox (no VELMORA_SANDBOX_DOCROOT) gets an empty path and must fail, not skip.
#pragma once

#include <string>

namespace velmora::test {

// The docroot as a Windows path, or empty when the test runs outside the sandbox.
std::wstring SandboxDocroot();

// Writes bytes to docroot\relative (folders made as needed); false outside the sandbox.
bool PublishFile(const std::wstring& relative, const std::string& bytes);
bool PublishCopy(const std::wstring& relative, const std::wstring& sourcePath);
void UnpublishFile(const std::wstring& relative);

// The server's per-path behaviour override file; an empty text removes it.
bool SetServerBehaviour(const std::string& json);

// The server's per-host choice of another certificate chain (_tls.json, e.g.
// {"archive.velmora.test": "cross-signed"}); an empty text removes it.
bool SetServerChains(const std::string& json);

// The request log so far ("HOST METHOD PATH STATUS" lines).
std::string ServerRequestLog();

}  // namespace velmora::test
