#pragma once
// Whether the program can open a window at all, asked before the toolkit is started, which
// would abort without a display instead of saying so.

// True when the platform the toolkit will use can be reached: an X display that opens
// ($DISPLAY) or a Wayland socket that accepts ($WAYLAND_DISPLAY), or a platform named in
// $QT_QPA_PLATFORM that needs neither (offscreen, vnc, ...).
bool DisplayReachable();
