// The manifest: the small, human-written description of a set that `quarnset build` turns into a server
// tree. Format (UTF-8 text; see docs/quarnset.md):
//
//   # comment (also ';')
//   [variables]                  defaults for ${NAME}; `build -D NAME=VALUE` overrides them
//   STANDIN = build/win64/tools/standin/QuarnWin32.exe
//   [system]                     RootDirectory, CadSystem, SubSystem, Version
//   [directories]                Dir = \QuarnWin32        (one folder per line, parents first)
//   [fonts]                      Font = DejaVuSans.ttf | DejaVu Sans (TrueType)
//   [file types]                 Type = .qdw | QuarnCAD.Drawing [| ExeFile [| IconFile]]
//   [commands]                   Command = [CreateGroup(QuarnCAD)]
//   [disc 1]                     Label = ..., optional Parts = Setup, Systems, ...
//   Systems = \QuarnWin32.ex_ \QuarnWin32\QuarnWin32.exe < ${STANDIN}
//
// A list key may carry its number (Dir2, Command3, Systems4); it must then be the next one.
#pragma once

#include <map>
#include <string>

#include "findings.h"
#include "set_model.h"

namespace quarnset {

struct ManifestOptions {
  std::map<std::string, std::string> variables;  // -D NAME=VALUE, override the manifest's [variables]
};

// Reads the manifest into a model. Local source files are looked up (size, existence) but not read.
// Returns false when the manifest could not be read at all; every fault is in findings, naming its line.
bool ReadManifest(const std::string& path, const ManifestOptions& options, SetModel* set, Findings* findings);

// The same, from text held in memory (path names the manifest in findings and anchors relative paths).
bool ParseManifest(const std::string& text, const std::string& path, const ManifestOptions& options, SetModel* set,
                   Findings* findings);

}  // namespace quarnset
