// GStreamer is initialised once per test program, as main() does in the
// application.
#include <gst/gst.h>
#include <gtest/gtest.h>

namespace {

class GstEnvironment : public testing::Environment
{
public:
    void SetUp() override { gst_init(nullptr, nullptr); }
};

const testing::Environment *const Registered = testing::AddGlobalTestEnvironment(new GstEnvironment);

}  // namespace
