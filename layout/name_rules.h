// The rules that keep every name taken from a set or a server inside its folder (or that keep a Program
// Manager command inside the Program Manager's). Portable; the description's parser and the layout's path
// builders both apply them.
#pragma once
#include <string>

// A segment [begin, end) that moves through the tree: "." or ".." in any of the forms Windows reduces to
// them (dots and blanks only, at least one dot).
bool IsDotsSegment(const char* begin, const char* end);

// True when a path holds a segment that climbs out of the folder it is appended to: "..", and also the
// forms Windows reduces to it (a segment of only dots and blanks with at least two dots, e.g. ".. " or
// "..."). Both '\' and '/' separate segments. (Description source and target paths, fonts, uninstall.)
bool ContainsParentSegment(const char* path);

// True when a path holds a name Windows does not take as written: a device name in any element, with or
// without an extension ("CON", "nul.txt", "COM1", "LPT1 .log"; Windows opens the device instead of a
// file), a ':' anywhere (a drive, or an alternate data stream: "x.txt:ads"), or an element that ends in a
// dot or a blank (Windows drops them, so "a." and "a " name the file "a"). Elements made of dots and blanks
// only ("." and "..") are left to the rules about climbing. Both '\' and '/' separate elements. Such names
// are refused wherever a set names a file or folder: server names, targets, folders and the root.
bool HoldsSpecialWindowsName(const char* path);

// True when name can be the root folder: one folder directly below the drive's top folder. So it is not
// empty, holds none of the path characters '\', '/' and ':', and is not made of dots and blanks only
// ("." and ".." would climb; Windows drops trailing dots and blanks, so "..." and ". ." would too), and no
// name Windows treats specially (HoldsSpecialWindowsName). The name comes from the server's description,
// so it is checked before anything is created from it.
bool IsPlainFolderName(const char* name);

// True when a server's RootDirectory value may name the root folder: present (no leading '*'), a safe
// server name (below) and a single folder (no backslash). Anything else counts as missing.
bool IsServerRootName(const char* value);

// True when a server name stays inside its disc folder: not empty, no drive or stream colon, no
// leading or doubled separator, no component made only of dots (or dots and blanks, which Windows
// trims to nothing), no forward slash (Windows reads it as a separator too), no control byte, none
// of the characters that Windows file names cannot hold, and no name Windows treats specially
// (HoldsSpecialWindowsName). Backslashes between names (subfolders) pass.
bool IsSafeServerName(const char* name);

// True when fontFile names a file inside the fonts folder: not empty, not absolute, no drive, and no
// ".." component, so that a description cannot make the installer load or register a font from
// anywhere else.
bool IsFontFileInsideFontsFolder(const char* fontFile);

// True when name can be the file name of a link on the desktop: not empty, not "." or "..", and
// without "\", "/" or ":", so that the group name from the description cannot place the link outside the
// desktop folder (or into an alternate data stream), and not a device name ("CON" would give "CON.lnk",
// the console). ".lnk" is appended, so longer runs of dots and a trailing dot or blank stay.
bool IsPlainLinkName(const char* name);

// True when a prepared Program Manager command names something the Program Manager would put outside
// its own folder: a ".." at the start of an argument or of a path component ("[CreateGroup(..\\x)]",
// "[AddItem(a.exe, ..x)]"). The service joins group and item names to its folder and resolves a leading
// ".." into the folder above, whatever follows it. Such a command is not sent.
bool LeavesProgramManagerFolder(const std::string& command);
