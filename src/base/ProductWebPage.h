#pragma once
// Where the product lives on the web: cards link to it and name it.

namespace vistrel {

inline constexpr const char* kProductWebPage = "https://vistrel.app";
// The page's address without its scheme, as cards show it.
inline constexpr const char* kProductWebDomain = "vistrel.app";

}  // namespace vistrel
