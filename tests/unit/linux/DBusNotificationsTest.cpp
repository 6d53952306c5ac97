#include <gtest/gtest.h>

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QObject>
#include <QProcess>
#include <QStandardPaths>
#include <QVariantMap>

#include <optional>
#include <vector>

#include "EventLoopWait.h"
#include "platform/linux/DBusNotifications.h"

namespace vistrel::desktop {
namespace {

// A notification service of the test's own, on a private bus, that keeps what it is sent.
class FakeNotificationServer : public QObject {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

 public:
  struct Received {
    QString appName;
    uint replacesId = 0;
    QString icon;
    QString summary;
    QString body;
    QStringList actions;
    QVariantMap hints;
    int timeout = 0;
  };
  std::vector<Received> received;

 public slots:
  QString GetServerInformation(QString& vendor, QString& version, QString& specVersion) {
    vendor = "test";
    version = "1";
    specVersion = "1.2";
    return "fake";
  }
  QStringList GetCapabilities() { return {"body"}; }
  uint Notify(const QString& appName, uint replacesId, const QString& icon, const QString& summary,
              const QString& body, const QStringList& actions, const QVariantMap& hints, int timeout) {
    received.push_back({appName, replacesId, icon, summary, body, actions, hints, timeout});
    return uint(received.size());
  }
};

// A bus daemon of the test's own, stopped when the test ends.
class PrivateBus {
 public:
  PrivateBus() {
    if (QStandardPaths::findExecutable("dbus-daemon").isEmpty()) return;
    daemon_.start("dbus-daemon", {"--session", "--nofork", "--nopidfile", "--print-address=1"});
    if (!daemon_.waitForStarted(10000)) return;
    if (!runEventsUntil([this] { return daemon_.canReadLine() || daemon_.state() != QProcess::Running; })) return;
    address_ = QString::fromUtf8(daemon_.readLine()).trimmed();
  }
  ~PrivateBus() {
    if (daemon_.state() == QProcess::NotRunning) return;
    daemon_.kill();
    daemon_.waitForFinished(10000);
  }
  const QString& address() const { return address_; }

 private:
  QProcess daemon_;
  QString address_;
};

struct Answers {
  std::vector<bool> values;
  bool during = false;  // an answer given inside the request call itself
};

void requestAndWait(DBusNotifications& notifications, Answers& answers) {
  bool requesting = true;
  notifications.requestAuthorization({.alert = true, .sound = true}, [&](bool granted) {
    answers.during = answers.during || requesting;
    answers.values.push_back(granted);
  });
  requesting = false;
  ASSERT_TRUE(runEventsUntil([&] { return !answers.values.empty(); }));
  // Anything queued behind the answer has had its turn: a second answer would show.
  bool drained = false;
  QMetaObject::invokeMethod(QCoreApplication::instance(), [&] { drained = true; }, Qt::QueuedConnection);
  ASSERT_TRUE(runEventsUntil([&] { return drained; }));
}

// With no bus address nothing is started or reached: the request is refused once, later, and notifications are dropped.
TEST(DBusNotificationsTest, NoBusRefusesOnceAndDropsQuietly) {
  DBusNotifications notifications("");
  EXPECT_FALSE(notifications.hasBus());
  Answers answers;
  requestAndWait(notifications, answers);
  EXPECT_EQ(answers.values, std::vector<bool>{false});
  EXPECT_FALSE(answers.during);
  notifications.add({.identifier = "x", .title = "Title", .body = "Body", .sound = true});
  notifications.requestAuthorization({}, nullptr);
}

// A bus that cannot be reached counts as no bus.
TEST(DBusNotificationsTest, UnreachableBusRefuses) {
  DBusNotifications notifications("unix:path=/nonexistent/vistrel-test-bus");
  EXPECT_FALSE(notifications.hasBus());
  Answers answers;
  requestAndWait(notifications, answers);
  EXPECT_EQ(answers.values, std::vector<bool>{false});
}

// On a bus without a notification service the request is refused; with one it is granted and notifications carry the documented fields.
TEST(DBusNotificationsTest, TalksToTheServiceOnTheBus) {
  PrivateBus bus;
  if (bus.address().isEmpty()) GTEST_SKIP() << "no dbus-daemon to start";

  DBusNotifications notifications(bus.address().toStdString());
  ASSERT_TRUE(notifications.hasBus());
  Answers refused;
  requestAndWait(notifications, refused);
  EXPECT_EQ(refused.values, std::vector<bool>{false});

  FakeNotificationServer server;
  QDBusConnection serverConnection = QDBusConnection::connectToBus(bus.address(), "fake-notification-server");
  ASSERT_TRUE(serverConnection.isConnected());
  ASSERT_TRUE(serverConnection.registerObject("/org/freedesktop/Notifications", &server, QDBusConnection::ExportAllSlots));
  ASSERT_TRUE(serverConnection.registerService("org.freedesktop.Notifications"));

  Answers granted;
  requestAndWait(notifications, granted);
  EXPECT_EQ(granted.values, std::vector<bool>{true});
  EXPECT_FALSE(granted.during);

  notifications.add({.identifier = "a", .title = "Split screen blocked", .body = "Body — one", .sound = true});
  notifications.add({.identifier = "b", .title = "Quiet", .body = "", .sound = false});
  ASSERT_TRUE(runEventsUntil([&] { return server.received.size() == 2; }));

  const auto& loud = server.received[0];
  EXPECT_EQ(loud.appName, "Vistrel");
  EXPECT_EQ(loud.replacesId, 0u);
  EXPECT_EQ(loud.icon, "");
  EXPECT_EQ(loud.summary, "Split screen blocked");
  EXPECT_EQ(loud.body, "Body — one");
  EXPECT_TRUE(loud.actions.isEmpty());
  EXPECT_EQ(loud.hints, (QVariantMap{{"desktop-entry", "vistrel"}, {"sound-name", "message-new-instant"}}));
  EXPECT_EQ(loud.timeout, -1);
  EXPECT_EQ(server.received[1].summary, "Quiet");
  EXPECT_EQ(server.received[1].hints, (QVariantMap{{"desktop-entry", "vistrel"}}));

  serverConnection.unregisterObject("/org/freedesktop/Notifications");
  QDBusConnection::disconnectFromBus("fake-notification-server");
}

}  // namespace
}  // namespace vistrel::desktop

#include "DBusNotificationsTest.moc"
