// Wildcard matching of names, the same on every system: the search of both
// backends selects entries by their long names with these rules, so no
// short-name alias and no system quirk ever selects a file.
#pragma once

namespace plat {

// `*` matches any run of characters, `?` one character, letters compare
// ASCII-case-insensitively. "*.*" matches every name, also names without a
// dot; a pattern ending in "." matches only names without a dot.
bool MatchesNamePattern(const char* pattern, const char* name);

// True for the entries "." and "..".
bool IsDotName(const char* name);

// True for "*" and "*.*", the patterns of every name: a search on them
// needs no matching.
bool MatchesEveryName(const char* pattern);

// True when a pattern holds a wildcard ('*' or '?'); one without names
// exactly one entry.
bool HoldsWildcard(const char* pattern);

// True when a name or pattern holds '\\' or '/': joined to a folder it
// would reach into another folder, so it names no entry of this one.
bool HoldsPathSeparator(const char* text);

}  // namespace plat
