// Which addresses the metrics endpoint accepts: one IP address and one port, so that a setting
// never binds it wider than written.
#include <gtest/gtest.h>

#include "app/metrics_exporter.h"

namespace corvanta::app {
namespace {

TEST(MetricsExporter, BindsOnlyAnIpAddressAndAPort) {
    EXPECT_EQ(MetricsExporter::bindAddress(QStringLiteral("127.0.0.1:9464")), "127.0.0.1:9464");
    EXPECT_EQ(MetricsExporter::bindAddress(QStringLiteral("[::1]:9464")), "[::1]:9464");
    EXPECT_EQ(MetricsExporter::bindAddress(QStringLiteral("10.1.2.3:1")), "10.1.2.3:1");
    EXPECT_EQ(MetricsExporter::bindAddress(QStringLiteral("0.0.0.0:65535")), "0.0.0.0:65535");
    // No host, a host name, no port or port 0 (any port), a port out of range, an IPv6 address
    // without brackets, brackets around IPv4, a second listener after a comma.
    for (const char* address :
         {"9464", ":9464", "localhost:9464", "metrics.example:9464", "127.0.0.1",
          "127.0.0.1:", "127.0.0.1:0", "127.0.0.1:65536", "127.0.0.1:94x", "::1:9464",
          "[127.0.0.1]:9464", "127.0.0.1:9464,0.0.0.0:9465", "127.0.0.1:+9464"}) {
        EXPECT_FALSE(MetricsExporter::bindAddress(QLatin1String(address))) << address;
    }
}

}  // namespace
}  // namespace corvanta::app
