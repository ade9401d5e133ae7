#pragma once

#include <filesystem>
#include <string_view>

namespace vantorel {

enum class XdgFolder { kConfig, kData, kState, kCache };

// The user's base folder of one kind, by the XDG base directory rules, read afresh from the
// environment at each call:
//   $XDG_CONFIG_HOME, $XDG_DATA_HOME, $XDG_STATE_HOME or $XDG_CACHE_HOME when it is an
//   absolute path; a relative or empty value is ignored, as those rules ask;
//   else the home's .config, .local/share, .local/state or .cache.
// The home is $HOME when that is absolute. A missing, empty or relative HOME names no home (a
// relative one would move with the working directory), so the password database's home of
// the effective user is taken instead, when that is absolute: a service started without
// HOME keeps its records and files where the same user's desktop session does. Empty when
// there is no home at all; callers then keep nothing rather than guess a place.
std::filesystem::path XdgBaseFolder(XdgFolder kind);

// The station's own folder of a kind: XdgBaseFolder(kind)/vantorel/leaf; empty when the base
// folder is.
std::filesystem::path StationFolder(XdgFolder kind, std::string_view leaf);

}  // namespace vantorel
