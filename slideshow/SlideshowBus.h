#pragma once

// Qt
#include <QLatin1String>

namespace glimmora {

// The names under which the companion slideshow program and Glimmora meet on the session bus.

// The companion's automation object.
inline constexpr QLatin1String kSlideshowService{"Slidara.SlideShowOLE"};
inline constexpr QLatin1String kSlideshowPath{"/SlideShowOLE"};
inline constexpr QLatin1String kSlideshowInterface{"Slidara.SlideShowOLE"};

// Glimmora's own object, through which the companion posts its window messages back. A bus
// name needs at least two dot-separated elements, so the plain "Glimmora" cannot be owned; the
// name follows the companion's pattern of bus name = interface name.
inline constexpr QLatin1String kControllerService{"Glimmora.MainWindow"};
inline constexpr QLatin1String kControllerPath{"/MainWindow"};
inline constexpr QLatin1String kControllerInterface{"Glimmora.MainWindow"};

// The two messages the companion posts (WM_USER + 1 and WM_USER + 2): the show it ran has
// ended, and the companion let go of Glimmora (its design window closed).
inline constexpr unsigned kShowEndedMessage = 1025;
inline constexpr unsigned kServerReleasedMessage = 1026;

} // namespace glimmora
