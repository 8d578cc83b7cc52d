// The runtime's pieces that need no peer: properties and rtc.conf syntax, naming formats,
// the CDR codec, the receive buffer and configuration sets.

#include "rtc/cdr_codec.hpp"
#include "rtc/config_admin.hpp"
#include "rtc/idl/BasicDataType.hh"
#include "rtc/naming_manager.hpp"
#include "rtc/properties.hpp"
#include "rtc/receive_buffer.hpp"
#include "tests/rtc/rtc_test_env.hpp"

#include <gtest/gtest.h>

#include <cstring>

#include <sstream>

namespace {

TEST(Properties, FlatProfileListAndDottedKeys) {
    const char* const keys[] = {"implementation_id",
                                "Peer",
                                "conf.default.gain",
                                "1.5",
                                "conf.__widget__.gain",
                                "text",
                                "exec_cxt.periodic.rate",
                                "20",
                                "",
                                "ignored",
                                nullptr};
    coil::Properties props(keys);
    EXPECT_EQ(props.getProperty("implementation_id"), "Peer");
    EXPECT_EQ(props.getProperty("conf.default.gain"), "1.5");
    EXPECT_EQ(props.getProperty("missing", "fallback"), "fallback");
    EXPECT_EQ(props.propertyNames(),
              (std::vector<std::string>{"implementation_id", "conf.default.gain",
                                        "conf.__widget__.gain", "exec_cxt.periodic.rate"}));
    ASSERT_NE(props.findNode("conf.default"), nullptr);
    EXPECT_EQ(props.findNode("conf.default")->getProperty("gain"), "1.5");
    EXPECT_FALSE(props.hasKey("ignored"));

    coil::Properties over;
    over.setProperty("exec_cxt.periodic.rate", "50");
    props << over;
    EXPECT_EQ(props.getProperty("exec_cxt.periodic.rate"), "50");
    EXPECT_EQ(props.getProperty("conf.default.gain"), "1.5");
}

TEST(Properties, LoadsConfigurationFileSyntax) {
    std::istringstream in(
        "# comment\n"
        "! another comment\n"
        "\n"
        "corba.nameservers: localhost:2809\n"
        "naming.formats = %h.host_cxt/%n.rtc\n"
        "corba.args: -ORBclientCallTimeOutPeriod \\\n"
        "   2000\n"
        "odd\\:key: value: with colon\n"
        "  exec_cxt.periodic.rate :  20  \n");
    coil::Properties props;
    props.load(in);
    EXPECT_EQ(props.getProperty("corba.nameservers"), "localhost:2809");
    EXPECT_EQ(props.getProperty("naming.formats"), "%h.host_cxt/%n.rtc");
    EXPECT_EQ(props.getProperty("corba.args"), "-ORBclientCallTimeOutPeriod 2000");
    EXPECT_EQ(props.getProperty("odd:key"), "value: with colon");
    EXPECT_EQ(props.getProperty("exec_cxt.periodic.rate"), "20");
}

TEST(Naming, FormatsAndSplitsNamesAtTheLastDot) {
    coil::Properties props;
    props.setProperty("instance_name", "Vostrel0");
    props.setProperty("implementation_id", "Vostrel");
    props.setProperty("type_name", "Vostrel");
    props.setProperty("category", "Simulator");
    props.setProperty("os.hostname", "robot.lab");
    EXPECT_EQ(rtc::formatName("%h.host_cxt/%n.rtc", props), "robot.lab.host_cxt/Vostrel0.rtc");
    EXPECT_EQ(rtc::formatName("%c/%t%N.rtc 100%%", props), "Simulator/Vostrel0.rtc 100%");
    CosNaming::Name name = rtc::toCosName("robot.lab.host_cxt/Vostrel0.rtc");
    ASSERT_EQ(name.length(), 2u);
    EXPECT_STREQ(name[0].id, "robot.lab");
    EXPECT_STREQ(name[0].kind, "host_cxt");
    EXPECT_STREQ(name[1].id, "Vostrel0");
    EXPECT_STREQ(name[1].kind, "rtc");
    EXPECT_EQ(rtc::fromCosName(name), "robot.lab.host_cxt/Vostrel0.rtc");
}

class Cdr : public ::testing::Test {
  protected:
    // omniORB's memory streams need an initialised ORB.
    void SetUp() override { CORBA::ORB_var orb = rtctest::orb(); }

    static std::vector<unsigned char> bytes(const rtc::CdrPayload& p) {
        return {p.data(), p.data() + p.size()};
    }
};

TEST_F(Cdr, EncodesTheReferencePayloads) {
    RTC::TimedLong l{};
    l.tm.sec = 1;
    l.tm.nsec = 2;
    l.data = 3;
    EXPECT_EQ(bytes(rtc::encodeCdr(l)),
              (std::vector<unsigned char>{1, 0, 0, 0, 2, 0, 0, 0, 3, 0, 0, 0}));

    RTC::TimedDouble d{};
    d.tm.sec = 1;
    d.tm.nsec = 2;
    d.data = 1.0;
    EXPECT_EQ(bytes(rtc::encodeCdr(d)),
              (std::vector<unsigned char>{1, 0, 0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xf0, 0x3f}));

    RTC::TimedString s;
    s.tm.sec = 1;
    s.tm.nsec = 2;
    s.data = "ab";
    EXPECT_EQ(bytes(rtc::encodeCdr(s)),
              (std::vector<unsigned char>{1, 0, 0, 0, 2, 0, 0, 0, 3, 0, 0, 0, 'a', 'b', 0}));

    EXPECT_EQ(rtc::repositoryId<RTC::TimedLong>(), "IDL:RTC/TimedLong:1.0");
    EXPECT_EQ(rtc::repositoryId<RTC::TimedDoubleSeq>(), "IDL:RTC/TimedDoubleSeq:1.0");
}

TEST_F(Cdr, DecodesEitherByteOrderFromAnyBufferAddress) {
    const unsigned char big[] = {0, 0, 0, 1, 0, 0, 0, 2, 0, 0, 0, 3};
    RTC::TimedLong l{};
    ASSERT_TRUE(rtc::decodeCdr(rtc::CdrPayload(big, sizeof big, false), l));
    EXPECT_EQ(l.tm.sec, 1u);
    EXPECT_EQ(l.tm.nsec, 2u);
    EXPECT_EQ(l.data, 3);

    // A sequence of doubles starting at an odd address still decodes: the payload keeps
    // its own aligned copy.
    RTC::TimedDoubleSeq seq;
    seq.tm.sec = 7;
    seq.data.length(3);
    seq.data[0] = 1.25;
    seq.data[1] = -2.5;
    seq.data[2] = 1e300;
    rtc::CdrPayload encoded = rtc::encodeCdr(seq);
    std::vector<unsigned char> shifted(encoded.size() + 1);
    std::copy(encoded.data(), encoded.data() + encoded.size(), shifted.begin() + 1);
    RTC::TimedDoubleSeq out;
    ASSERT_TRUE(rtc::decodeCdr(rtc::CdrPayload(shifted.data() + 1, encoded.size(), true), out));
    ASSERT_EQ(out.data.length(), 3u);
    EXPECT_EQ(out.tm.sec, 7u);
    EXPECT_EQ(out.data[0], 1.25);
    EXPECT_EQ(out.data[1], -2.5);
    EXPECT_EQ(out.data[2], 1e300);

    // A truncated payload is refused and leaves the value alone.
    RTC::TimedDoubleSeq untouched;
    EXPECT_FALSE(rtc::decodeCdr(rtc::CdrPayload(encoded.data(), 14, true), untouched));
    EXPECT_EQ(untouched.data.length(), 0u);
}

// Lengths are weighed against the bytes left before anything is allocated: omniORB's own
// check overflows for 2^30 elements and more.
TEST_F(Cdr, OnlyExactEncodingsDecode) {
    RTC::TimedDoubleSeq seq;
    seq.tm.sec = 7;
    seq.data.length(2);
    seq.data[0] = 1.5;
    seq.data[1] = -3.0;
    const std::vector<unsigned char> good = bytes(rtc::encodeCdr(seq));
    ASSERT_EQ(good.size(), 32u);  // time 8, count 4, padding 4, two doubles
    auto decodes = [](std::vector<unsigned char> b, bool little = true) {
        RTC::TimedDoubleSeq out;
        return rtc::decodeCdr(rtc::CdrPayload(b.data(), b.size(), little), out);
    };
    EXPECT_TRUE(decodes(good));
    for (std::uint32_t count : {3u, 0x20000000u, 0x40000000u, 0x80000000u, 0xffffffffu}) {
        std::vector<unsigned char> forged = good;
        std::memcpy(&forged[8], &count, 4);
        EXPECT_FALSE(decodes(forged)) << count;
    }
    std::vector<unsigned char> longer = good;
    longer.insert(longer.end(), 8, 0);  // room for a third double, but the count says two
    EXPECT_FALSE(decodes(longer));
    EXPECT_FALSE(decodes({good.begin(), good.end() - 1}));
    EXPECT_FALSE(decodes({}));
    EXPECT_FALSE(decodes(good, false));  // read big-endian the count is 2^25

    RTC::TimedString text;
    text.data = "ab";
    std::vector<unsigned char> s = bytes(rtc::encodeCdr(text));
    RTC::TimedString out;
    EXPECT_TRUE(rtc::decodeCdr(rtc::CdrPayload(s.data(), s.size(), true), out));
    s.back() = 'c';  // no terminating NUL
    EXPECT_FALSE(rtc::decodeCdr(rtc::CdrPayload(s.data(), s.size(), true), out));
    s[8] = 0;  // a length of 0 leaves no room for the NUL
    EXPECT_FALSE(rtc::decodeCdr(rtc::CdrPayload(s.data(), 12, true), out));

    RTC::TimedBoolean flag{};
    std::vector<unsigned char> b = bytes(rtc::encodeCdr(flag));
    b.back() = 2;
    EXPECT_FALSE(rtc::decodeCdr(rtc::CdrPayload(b.data(), b.size(), true), flag));
}

rtc::CdrPayload sample(unsigned char tag) {
    return rtc::CdrPayload(&tag, 1, true);
}

TEST(ReceiveBuffer, OverwritesOldestAndReadsBackTheLastValue) {
    rtc::ReceiveBuffer buffer;
    coil::Properties opts;
    opts.setProperty("length", "2");
    buffer.configure(opts);
    EXPECT_FALSE(buffer.read().has_value());
    for (unsigned char t : {1, 2, 3}) {
        EXPECT_EQ(buffer.put(sample(t)), rtc::ReceiveBuffer::PutResult::Ok);
    }
    EXPECT_EQ(buffer.unread(), 2u);
    EXPECT_EQ(buffer.read()->data()[0], 2);
    EXPECT_EQ(buffer.read()->data()[0], 3);
    EXPECT_FALSE(buffer.isNew());
    EXPECT_EQ(buffer.read()->data()[0], 3) << "readback hands out the last value again";

    coil::Properties strict;
    strict.setProperty("write.full_policy", "do_nothing");
    strict.setProperty("read.empty_policy", "do_nothing");
    buffer.configure(strict);
    buffer.put(sample(4));
    buffer.put(sample(5));
    EXPECT_EQ(buffer.put(sample(6)), rtc::ReceiveBuffer::PutResult::Full);
    EXPECT_EQ(buffer.read()->data()[0], 4);
    EXPECT_EQ(buffer.read()->data()[0], 5);
    EXPECT_FALSE(buffer.read().has_value());
}

SDOPackage::ConfigurationSet makeSet(const char* id, const char* name, const char* value) {
    SDOPackage::ConfigurationSet set;
    set.id = id;
    set.description = "";
    set.configuration_data.length(1);
    set.configuration_data[0].name = name;
    set.configuration_data[0].value <<= value;
    return set;
}

TEST(ConfigAdmin, ValuesReachVariablesOnlyAfterActivationAtAnUpdatePoint) {
    CORBA::ORB_var orb = rtctest::orb();
    coil::Properties conf;
    conf.setProperty("default.gain", "1.5");
    conf.setProperty("mode0.gain", "3");
    conf.setProperty("__widget__.gain", "slider.0.1");
    std::ostringstream log;
    rtc::ConfigAdmin admin(conf, "default", log);
    double gain = 0;
    int steps = 0;
    std::string name;
    ASSERT_TRUE(admin.bindParameter("gain", gain, "1.0"));
    ASSERT_TRUE(admin.bindParameter("steps", steps, "4"));
    ASSERT_TRUE(admin.bindParameter("name", name, "robot one"));
    EXPECT_FALSE(admin.bindParameter("gain", gain, "1.0"));
    EXPECT_EQ(gain, 1.5);
    EXPECT_EQ(steps, 4);
    EXPECT_EQ(name, "robot one");

    ASSERT_TRUE(admin.setSetValues(makeSet("default", "gain", "2.5")));
    EXPECT_FALSE(admin.updateIfChanged());
    EXPECT_EQ(gain, 1.5);
    ASSERT_TRUE(admin.activateSet("default"));
    EXPECT_EQ(gain, 1.5) << "activation alone must not touch the variable";
    EXPECT_TRUE(admin.updateIfChanged());
    EXPECT_EQ(gain, 2.5);

    ASSERT_TRUE(admin.activateSet("mode0"));
    admin.updateIfChanged();
    EXPECT_EQ(gain, 3.0);
    EXPECT_EQ(steps, 4) << "a parameter missing from the set takes its default";
    EXPECT_FALSE(admin.activateSet("__widget__"));
    EXPECT_FALSE(admin.activateSet("nosuchset"));
    EXPECT_FALSE(admin.setSetValues(makeSet("", "gain", "1")));

    ASSERT_TRUE(admin.setSetValues(makeSet("mode0", "steps", "4.5")));
    ASSERT_TRUE(admin.activateSet("mode0"));
    steps = 99;
    admin.updateIfChanged();
    EXPECT_EQ(steps, 4);
    EXPECT_EQ(log.str(),
              "configuration: parameter \"steps\": bad value \"4.5\", using the default \"4\"\n");

    EXPECT_TRUE(admin.addSet(makeSet("extra", "gain", "9")));
    EXPECT_FALSE(admin.addSet(makeSet("extra", "gain", "9")));
    EXPECT_FALSE(admin.removeSet("default"));
    EXPECT_TRUE(admin.removeSet("extra"));
    SDOPackage::ConfigurationSet out;
    EXPECT_FALSE(admin.getSet("extra", out));
    ASSERT_TRUE(admin.getSet("default", out));
    EXPECT_EQ(rtctest::stringProperty(out.configuration_data, "name"), "robot one");
}

}  // namespace
