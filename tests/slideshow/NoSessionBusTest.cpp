#include "slideshow/GlimmoraBusObject.h"
#include "slideshow/SlideshowLink.h"

#include "platform/MessageService.h"

#include "StandInControl.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace glimmora {
namespace {

// Before main, so that the first connection already finds the bus gone.
const bool noSessionBus = setenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/bus", 1) == 0;

TEST(NoSessionBus, TheProgramGoesOnAndConnectingExplainsWhy)
{
    ASSERT_TRUE(noSessionBus);
    TGlimmoraBusObject busObject;
    EXPECT_FALSE(busObject.isRegistered());

    test::installStandIn({});
    TSlideshowLink link;
    ScopedScriptedMessages messages;
    link.DesignSlideshow();

    ASSERT_EQ(messages.shown().size(), 1);
    const QString text = messages.texts().first();
    EXPECT_TRUE(text.startsWith(QStringLiteral("Slidara cannot be reached: there is no session bus")))
        << text.toStdString();
    EXPECT_FALSE(link.connected());
    EXPECT_TRUE(link.designSlideshowEnabled());
}

} // namespace
} // namespace glimmora
