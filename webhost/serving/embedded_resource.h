// The program's own RCDATA resources: the viewer page, the support image and the libraries the page
// loads from the program's origin.
#pragma once

#include <windows.h>

#include <cstddef>
#include <optional>
#include <span>

inline constexpr WORD kViewerPageResourceId = 101;      // the viewer page, UTF-8 HTML
inline constexpr WORD kSupportImageResourceId = 102;    // the support image, JPEG
inline constexpr WORD kDiagramLibraryResourceId = 103;  // the diagram library, UTF-8 script
inline constexpr WORD kHighlighterResourceId = 104;     // the highlighter, UTF-8 script
inline constexpr WORD kFormulasResourceId = 105;        // the formula typesetter, UTF-8 script
inline constexpr WORD kGithubConverterResourceId = 106; // the GitHub dialect's converter, UTF-8 script
inline constexpr WORD kCharsetDetectorResourceId = 107; // the character set detector, UTF-8 script

// The bytes of RCDATA resource `id` in `module` (null: the running executable), or nothing when the
// resource is absent or cannot be loaded. The bytes live as long as the module stays loaded.
std::optional<std::span<const unsigned char>> FindRcData(HMODULE module, WORD id) noexcept;
