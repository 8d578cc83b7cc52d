// The rules by which the manager's settings and vostrel-ctl name ports and components on a
// naming service.

#include "rtc/naming_manager.hpp"
#include "rtc/port_lookup.hpp"
#include "rtc/rtc_name_url.hpp"

#include <gtest/gtest.h>

namespace {

TEST(PortLookup, APortAnswersToItsWholeNameAndToWhatFollowsADot) {
    EXPECT_TRUE(rtc::portAnswersTo("Comp0.in", "in"));
    EXPECT_TRUE(rtc::portAnswersTo("Comp0.in", "Comp0.in"));
    EXPECT_TRUE(rtc::portAnswersTo("in", "in"));  // a port named without its owner
    EXPECT_TRUE(rtc::portAnswersTo("Comp0.svc.map", "svc.map"));
    EXPECT_TRUE(rtc::portAnswersTo("Comp0.svc.map", "map"));

    EXPECT_FALSE(rtc::portAnswersTo("Comp0.xin", "in"));  // a tail of a word is no name
    EXPECT_FALSE(rtc::portAnswersTo("Comp0.in", "Comp0"));
    EXPECT_FALSE(rtc::portAnswersTo("Comp0.in", "n"));
    EXPECT_FALSE(rtc::portAnswersTo("Comp0.in", ".in"));
    EXPECT_FALSE(rtc::portAnswersTo("in", "Comp0.in"));
    EXPECT_FALSE(rtc::portAnswersTo("Comp0.", ""));
    EXPECT_FALSE(rtc::portAnswersTo("", ""));
}

TEST(RtcNameUrl, NamesTheServiceThePathAndThePort) {
    auto url = rtc::RtcNameUrl::parse("rtcname://127.0.0.1:4000/host.host_cxt/Comp0.in");
    ASSERT_TRUE(url);
    EXPECT_EQ(url->namingService, "127.0.0.1:4000");
    EXPECT_EQ(url->path, "host.host_cxt/Comp0.rtc");
    EXPECT_EQ(url->port, "in");

    // The naming service's own port by default; a component alone; a port with dots.
    url = rtc::RtcNameUrl::parse("rtcname://localhost/Comp0");
    ASSERT_TRUE(url);
    EXPECT_EQ(url->namingService, "localhost:2809");
    EXPECT_EQ(url->path, "Comp0.rtc");
    EXPECT_EQ(url->port, "");
    url = rtc::RtcNameUrl::parse("rtcname://ns:1/a/b/Comp0.svc.map");
    ASSERT_TRUE(url);
    EXPECT_EQ(url->path, "a/b/Comp0.rtc");
    EXPECT_EQ(url->port, "svc.map");

    EXPECT_FALSE(rtc::RtcNameUrl::parse("rtcname://localhost"));
    EXPECT_FALSE(rtc::RtcNameUrl::parse("Comp0.in"));
    EXPECT_FALSE(rtc::RtcNameUrl::parse("corbaname://localhost/Comp0"));
    EXPECT_TRUE(rtc::RtcNameUrl::is("rtcname://x/y"));
    EXPECT_FALSE(rtc::RtcNameUrl::is("Comp0.rtcname://"));
}

TEST(NamingAddress, ThePortDefaultsTo2809) {
    EXPECT_EQ(rtc::withNamingPort("localhost"), "localhost:2809");
    EXPECT_EQ(rtc::withNamingPort("127.0.0.1:4000"), "127.0.0.1:4000");
    EXPECT_EQ(rtc::withNamingPort(""), ":2809");
}

}  // namespace
