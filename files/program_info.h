// Who makes Grooveloom and where to find it: shown in the About box and written by the HTML export.
#pragma once

inline constexpr const char* kProgramName = "Grooveloom";
inline constexpr const char* kProgramVersion = "1.0";
inline constexpr const char* kProgramAuthor = "The Grooveloom developers";
inline constexpr const char* kProjectPage = "https://grooveloom.org/";
inline constexpr const char* kContactAddress = "team@grooveloom.org";
