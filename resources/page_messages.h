// The pages' private window messages, numbered in one place. Each page numbers its own from
// WM_USER + 601 upward, so the same number may mean different things on different pages.
#pragma once

namespace tessaly {

inline constexpr unsigned kPageMessageBase = 0x400;  // WM_USER

// Duplicate finder page.
inline constexpr unsigned WM_DUPE_SEARCH_COMPLETE =
    kPageMessageBase + 601;  // posted: the worker's end
inline constexpr unsigned WM_DUPE_SEARCH_FILE =
    kPageMessageBase + 602;  // sent: lParam = status line 2
inline constexpr unsigned WM_DUPE_SEARCH_STATUS =
    kPageMessageBase + 603;  // sent: lParam = status line 1
inline constexpr unsigned WM_DUPE_SEARCH_STATE =
    kPageMessageBase + 604;  // sent: lParam 1 started, 0 ended

// Product manager page.
inline constexpr unsigned WM_PRODUCT_SCAN_COMPLETE =
    kPageMessageBase + 605;  // posted: the worker's end
inline constexpr unsigned WM_PRODUCT_SCAN_PROGRESS =
    kPageMessageBase + 606;  // sent: lParam = key name
inline constexpr unsigned WM_PRODUCT_SCAN_STEP =
    kPageMessageBase + 613;  // sent: wParam a step, lParam the count

// Libraries-tab page.
inline constexpr unsigned WM_KONTAKT_LOAD_START = kPageMessageBase + 607;  // posted to itself
inline constexpr unsigned WM_KONTAKT_LOAD_COMPLETE =
    kPageMessageBase + 608;  // posted: the worker's end

// Relocation progress page.
inline constexpr unsigned WM_RELOCATE_UPDATE = kPageMessageBase + 607;  // sent: wParam a kind
inline constexpr unsigned WM_RELOCATE_DONE = kPageMessageBase + 611;    // posted: the worker's end
inline constexpr unsigned WM_RELOCATE_START = kPageMessageBase + 612;   // posted to itself

// Thumbnail page.
inline constexpr unsigned WM_THUMBNAIL_PASS_START = kPageMessageBase + 609;  // posted to itself
inline constexpr unsigned WM_THUMBNAIL_PASS_COMPLETE =
    kPageMessageBase + 610;  // posted: the worker's end

// Start page: posted to itself to make the first-run backups once it has appeared.
inline constexpr unsigned WM_FIRST_RUN_BACKUPS = kPageMessageBase + 0x262;  // 0x662
// Start page: posted to itself after the first-run backups, for the program's questions at start.
inline constexpr unsigned WM_START_PAGE_SHOWN = kPageMessageBase + 0x263;

}  // namespace tessaly
