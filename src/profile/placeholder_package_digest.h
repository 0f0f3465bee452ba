// The built-in digest of a sandbox build that builds no sample package (the native builds):
// a well-formed value that names no package. Only the sandbox's own profile may carry it; a
// vendor profile copied from the sandbox's would otherwise build, sign and ship a built-in
// manifest that can never install.
#pragma once

#define VELMORA_PLACEHOLDER_PACKAGE_SHA256 "5f2b9c1e7a3d4f60b8e2c9a1d7f3b5e08c4a2e6f1b9d3c7a5e0f8b2d4c6a1e39"
