// The clipboard through data control on headless sway: what we offer is
// what another client reads, and what another client offers is what we read.

#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <thread>

#include "SwaySession.h"
#include "platform/wayland/DataControlPasteboard.h"

namespace vistrel::e2e {
namespace {

using wayland::DataControlPasteboard;
using wayland::WaylandConnection;

// Runs `use` on a second client (a connection and clipboard of its own, on a
// thread) while this thread's event loop lets our clipboard answer it.
template <class Use>
auto otherClient(Use use) -> decltype(use(std::declval<DataControlPasteboard&>())) {
  auto result = std::async(std::launch::async, [use] {
    auto connection = WaylandConnection::connect(wayland::deadlineAfter(5));
    if (!connection) throw std::runtime_error("the second client cannot connect");
    DataControlPasteboard clipboard(*connection);
    return use(clipboard);
  });
  waitUntil(10, [&] { return result.wait_for(std::chrono::seconds(0)) == std::future_status::ready; });
  return result.get();
}

QImage testImage() {
  QImage image(64, 48, QImage::Format_RGB32);
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) image.setPixel(x, y, qRgb(x * 4, y * 5, (x ^ y) & 0xff));
  return image;
}

TEST(Clipboard, OffersAndReadsThroughDataControl) {
  auto connection = WaylandConnection::connect(wayland::deadlineAfter(5));
  ASSERT_TRUE(connection);
  connection->dispatchInEventLoop();
  DataControlPasteboard ours(*connection);
  ASSERT_TRUE(ours.available());

  const std::string text = "Gr\u00fc\u00dfe, 1080p";
  ours.setString(text);
  EXPECT_EQ(ours.string(), text);
  EXPECT_EQ(ours.image(), std::nullopt);
  EXPECT_EQ(otherClient([](DataControlPasteboard& c) { return c.string(); }), text);

  // An image is offered as PNG first, and read back pixel for pixel.
  ours.setImage(testImage());
  const auto types = otherClient([](DataControlPasteboard& c) { return c.offeredTypes(); });
  EXPECT_EQ(types, (std::vector<std::string>{"image/png", "image/bmp"}));
  const auto image = otherClient([](DataControlPasteboard& c) { return c.image(); });
  ASSERT_TRUE(image);
  EXPECT_EQ(image->convertToFormat(QImage::Format_RGB32), testImage());

  // Another client's text replaces ours; we read it while it serves.
  std::atomic<bool> offered = false, done = false;
  std::thread other([&] {
    auto theirs = WaylandConnection::connect(wayland::deadlineAfter(5));
    if (!theirs) return;
    DataControlPasteboard clipboard(*theirs);
    clipboard.setString("from the other client");
    offered = true;
    while (!done) theirs->dispatchUntil([&] { return done.load(); }, wayland::deadlineAfter(0.05));
  });
  ASSERT_TRUE(waitUntil(5, [&] { return offered.load(); }));
  EXPECT_EQ(ours.string(), "from the other client");
  done = true;
  other.join();

  ours.clear();
  EXPECT_TRUE(otherClient([](DataControlPasteboard& c) { return c.offeredTypes(); }).empty());
}

}  // namespace
}  // namespace vistrel::e2e
