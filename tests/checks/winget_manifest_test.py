#!/usr/bin/env python3
"""Checks the example manifest for the Windows package manager under docs/winget against the
rules of its published 1.6.0 schema (required fields, allowed fields, patterns, enumerations,
lengths) and against the program itself: its switches and its unattended exit codes."""
import pathlib
import re
import sys

import yaml

root = pathlib.Path(sys.argv[1])
folder = root / "docs" / "winget"
problems = []


def check(condition, message):
    if not condition:
        problems.append(message)


IDENTIFIER = re.compile(r'^[^\.\s\\/:\*\?"<>\|\x01-\x1f]{1,32}(\.[^\.\s\\/:\*\?"<>\|\x01-\x1f]{1,32}){1,7}$')
VERSION = re.compile(r'^[^\\/:\*\?"<>\|\x01-\x1f]+$')
LOCALE = re.compile(r'^([a-zA-Z]{2,3}|[iI]-[a-zA-Z]+|[xX]-[a-zA-Z]{1,8})(-[a-zA-Z]{1,8})*$')
SHA256 = re.compile(r'^[A-Fa-f0-9]{64}$')
URL = re.compile(r'^([Hh][Tt][Tt][Pp][Ss]?)://.+$')

COMMON = {"PackageIdentifier", "PackageVersion", "ManifestType", "ManifestVersion"}
SCHEMAS = {
    "version": {"required": COMMON | {"DefaultLocale"}, "allowed": COMMON | {"DefaultLocale"}},
    "installer": {
        "required": COMMON | {"Installers"},
        "allowed": COMMON | {"InstallerType", "Scope", "InstallModes", "InstallerSwitches",
                             "ElevationRequirement", "UpgradeBehavior", "InstallerSuccessCodes",
                             "ExpectedReturnCodes", "Installers", "Platform", "MinimumOSVersion",
                             "InstallerLocale", "Commands", "Protocols", "FileExtensions",
                             "ReleaseDate", "Dependencies", "AppsAndFeaturesEntries"},
    },
    "defaultLocale": {
        "required": COMMON | {"PackageLocale", "Publisher", "PackageName", "License", "ShortDescription"},
        "allowed": COMMON | {"PackageLocale", "Publisher", "PublisherUrl", "PublisherSupportUrl",
                             "PrivacyUrl", "Author", "PackageName", "PackageUrl", "License", "LicenseUrl",
                             "Copyright", "CopyrightUrl", "ShortDescription", "Description", "Moniker",
                             "Tags", "ReleaseNotes", "ReleaseNotesUrl"},
    },
}
INSTALLER_TYPES = {"msix", "msi", "appx", "exe", "zip", "inno", "nullsoft", "wix", "burn", "pwa", "portable"}
INSTALL_MODES = {"interactive", "silent", "silentWithProgress"}
SWITCH_KEYS = {"Silent", "SilentWithProgress", "Interactive", "InstallLocation", "Log", "Upgrade", "Custom",
               "Repair"}
RESPONSES = {"packageInUse", "packageInUseByApplication", "installInProgress", "fileInUse",
             "missingDependency", "diskFull", "insufficientMemory", "invalidParameter", "noNetwork",
             "contactSupport", "rebootRequiredToFinish", "rebootRequiredForInstall", "rebootInitiated",
             "cancelledByUser", "alreadyInstalled", "downgrade", "blockedByPolicy", "systemNotSupported",
             "custom"}
ARCHITECTURES = {"x86", "x64", "arm", "arm64", "neutral"}
ITEM_KEYS = {"Architecture", "InstallerUrl", "InstallerSha256", "InstallerType", "Scope", "InstallerLocale",
             "SignatureSha256", "ProductCode"}

documents = {}
for path in sorted(folder.glob("*.yaml")):
    # Every value read as text, as the package manager reads its manifests.
    document = yaml.load(path.read_text(encoding="utf-8"), Loader=yaml.BaseLoader)
    check(isinstance(document, dict), f"{path.name}: not a mapping")
    kind = document.get("ManifestType")
    check(kind in SCHEMAS, f"{path.name}: ManifestType {kind!r}")
    check(kind not in documents, f"{path.name}: a second {kind} file")
    documents[kind] = document
    schema = SCHEMAS.get(kind, {"required": set(), "allowed": set()})
    for key in sorted(schema["required"] - document.keys()):
        problems.append(f"{path.name}: required {key} is missing")
    for key in sorted(document.keys() - schema["allowed"]):
        problems.append(f"{path.name}: {key} is not a field of a {kind} manifest")
    check(document.get("ManifestVersion") == "1.6.0", f"{path.name}: ManifestVersion")
    check(IDENTIFIER.match(document.get("PackageIdentifier", "")) is not None, f"{path.name}: PackageIdentifier")
    version = document.get("PackageVersion", "")
    check(VERSION.match(version) is not None and len(version) <= 128, f"{path.name}: PackageVersion")

check(set(documents) == set(SCHEMAS), f"files for {sorted(documents)}; wanted {sorted(SCHEMAS)}")
check(len({(d.get("PackageIdentifier"), d.get("PackageVersion")) for d in documents.values()}) == 1,
      "the files name different packages or versions")

locale = documents.get("defaultLocale", {})
check(LOCALE.match(locale.get("PackageLocale", "")) is not None, "PackageLocale")
check(documents.get("version", {}).get("DefaultLocale") == locale.get("PackageLocale"),
      "DefaultLocale is not the defaultLocale file's PackageLocale")
for key, low, high in (("Publisher", 2, 256), ("PackageName", 2, 256), ("License", 3, 512),
                       ("ShortDescription", 3, 256)):
    check(low <= len(locale.get(key, "")) <= high, f"{key} length")

installer = documents.get("installer", {})
check(installer.get("InstallerType") in INSTALLER_TYPES, "InstallerType")
check(installer.get("InstallerType") == "exe", "the program is an exe installer")
check(installer.get("Scope") in {"user", "machine"}, "Scope")
modes = installer.get("InstallModes", [])
check(isinstance(modes, list) and set(modes) <= INSTALL_MODES and len(set(modes)) == len(modes), "InstallModes")
check(installer.get("ElevationRequirement") in {"elevationRequired", "elevationProhibited", "elevatesSelf"},
      "ElevationRequirement")
check(installer.get("UpgradeBehavior") in {"install", "uninstallPrevious", "deny"}, "UpgradeBehavior")
switches = installer.get("InstallerSwitches", {})
for key, value in switches.items():
    check(key in SWITCH_KEYS, f"InstallerSwitches: {key}")
    check(1 <= len(value) <= 512, f"InstallerSwitches {key} length")
items = installer.get("Installers", [])
check(isinstance(items, list) and 1 <= len(items) <= 1024, "Installers")
for item in items:
    for key in sorted(item.keys() - ITEM_KEYS):
        problems.append(f"Installers: {key} is not a field used here")
    check(item.get("Architecture") in ARCHITECTURES, "Installers: Architecture")
    check(URL.match(item.get("InstallerUrl", "")) is not None, "Installers: InstallerUrl")
    check(SHA256.match(item.get("InstallerSha256", "")) is not None, "Installers: InstallerSha256")
returns = {}
for entry in installer.get("ExpectedReturnCodes", []):
    code = int(entry.get("InstallerReturnCode", "0"))
    check(code != 0 and -2147483648 <= code <= 4294967295, f"ExpectedReturnCodes: {code}")
    check(code not in returns, f"ExpectedReturnCodes: {code} twice")
    check(entry.get("ReturnResponse") in RESPONSES, f"ExpectedReturnCodes: {entry.get('ReturnResponse')}")
    returns[code] = entry.get("ReturnResponse")

# The program's side: its switches and its exit-code table.
parser = (root / "src" / "app" / "command_line.cpp").read_text(encoding="utf-8")
names = set(re.findall(r'name == L"([^"]+)"', parser))
for key in ("Silent", "SilentWithProgress", "Log"):
    for token in re.findall(r'(?:^|\s)[/-]([^\s"]+)', switches.get(key, "")):
        check(token.lower() in names, f"InstallerSwitches {key}: /{token} is not a switch of the program")
check("/quiet" in switches.get("Silent", "").split(), "Silent runs /quiet")
check("/passive" in switches.get("SilentWithProgress", "").split(), "SilentWithProgress runs /passive")
check(switches.get("Log", "").startswith("/log "), "Log runs /log <path>")

exit_header = (root / "src" / "app" / "exit_code.h").read_text(encoding="utf-8")
codes = {int(value) for value in re.findall(r"constexpr int kExit\w+ = (\d+);", exit_header)}
table = (root / "src" / "app" / "exit_code.cpp").read_text(encoding="utf-8")
unattended = set(re.findall(r"\{(kExit\w+),\s*L\"", table))
constants = dict(re.findall(r"constexpr int (kExit\w+) = (\d+);", exit_header))
unattended_codes = {int(constants[name]) for name in unattended}
check(unattended_codes <= codes and unattended_codes, "the program's unattended exit codes")
wanted = {3010: "rebootRequiredToFinish", 1602: "cancelledByUser", 1618: "installInProgress",
          87: "invalidParameter"}
for code in sorted(unattended_codes - {0}):
    check(code in returns, f"exit code {code} has no ExpectedReturnCodes entry")
    if code in wanted:
        check(returns.get(code) == wanted[code], f"exit code {code} should read {wanted[code]}")
for code in sorted(returns):
    check(code in unattended_codes, f"ExpectedReturnCodes {code} is no exit code of the program")

# The README's table of unattended exit codes lists exactly the program's.
readme = (root / "README.md").read_text(encoding="utf-8")
section = readme.split("## Deploying with a management tool", 1)
check(len(section) == 2, "README has no \"Deploying with a management tool\" section")
if len(section) == 2:
    rows = {int(code) for code in re.findall(r"^\| (\d+) \|", section[1].split("\n## ", 1)[0], re.M)}
    check(rows == unattended_codes, f"README exit codes {sorted(rows)}; the program's {sorted(unattended_codes)}")

for problem in problems:
    print(problem)
print(f"{len(problems)} problems")
sys.exit(1 if problems else 0)
