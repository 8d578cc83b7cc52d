// The component's picture settings in rtc.conf, seen in the frames the process writes.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include <opencv2/imgcodecs.hpp>

#include "display/annotation_layer.hpp"
#include "display/display_colours.hpp"
#include "tests/rtc/rtc_test_env.hpp"

namespace {

using namespace std::chrono_literals;
const std::string kSource = VOSTREL_SOURCE_DIR;

std::string readFile(const std::string& path) {
    std::ifstream in(path);
    return {std::istreambuf_iterator<char>(in), {}};
}

// One vostrel process on the office floor, without a naming service, writing frames.
std::string runComponent(const std::string& dir, const std::string& displayConf) {
    std::ofstream(dir + "/vostrel.conf")
        << "conf.default.FieldDataFile: " << kSource << "/examples/office.txt\n"
        << "conf.default.simulate_skip: 1\nconf.default.display_range_data: 1\n";
    std::ofstream(dir + "/rtc.conf") << "naming.enable: NO\n"
                                     << "corba.endpoints: 127.0.0.1:\n"
                                     << "exec_cxt.periodic.rate: 20\n"
                                     << "exec_cxt.activation_timeout: 60\n"
                                     << "manager.components.preactivation: Vostrel0\n"
                                     << "Simulato.Vostrel.config_file: " << dir << "/vostrel.conf\n"
                                     << "vostrel.display.window: NO\n"
                                     << "vostrel.display.frames: " << dir << "/frames\n"
                                     << displayConf;
    rtctest::Process process(VOSTREL_EXE, {"-f", dir + "/rtc.conf"}, dir + "/console.txt");
    EXPECT_TRUE(
        rtctest::waitFor([&] { return std::filesystem::exists(dir + "/frames/000002.png"); }, 30s))
        << readFile(dir + "/console.txt");
    process.stop();
    return readFile(dir + "/console.txt");
}

TEST(VostrelDisplay, AnnotationIsOffUnlessRtcConfAsksForIt) {
    const std::string plainDir = rtctest::makeTempDir();
    const std::string plainConsole = runComponent(plainDir, "");
    const cv::Mat plain = cv::imread(plainDir + "/frames/000001.png");
    ASSERT_FALSE(plain.empty()) << plainConsole;

    const std::string dir = rtctest::makeTempDir();
    const std::string console =
        runComponent(dir, "vostrel.display.annotate: YES\nvostrel.display.trails: soon\n");
    const cv::Mat annotated = cv::imread(dir + "/frames/000001.png");
    ASSERT_FALSE(annotated.empty()) << console;
    EXPECT_NE(console.find("Invalid vostrel.display.trails soon (seconds, 0 or more): no trails "
                           "are drawn\n"),
              std::string::npos)
        << console;

    const int band = vostrel::AnnotationLayer::bandHeight(plain.cols);
    EXPECT_EQ(annotated.cols, plain.cols);
    EXPECT_EQ(annotated.rows, plain.rows + band);
    const vostrel::Rgb grey = vostrel::colours::kBand;
    EXPECT_EQ(annotated.at<cv::Vec3b>(1, 1), cv::Vec3b(grey.blue, grey.green, grey.red));
    EXPECT_NE(plain.at<cv::Vec3b>(1, 1), cv::Vec3b(grey.blue, grey.green, grey.red));
    std::error_code ec;
    std::filesystem::remove_all(plainDir, ec);
    std::filesystem::remove_all(dir, ec);
}

}  // namespace
