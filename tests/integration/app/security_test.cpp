// How the client handles its secrets and what the backend sends, checked from outside where that
// is possible: the programs' standard streams, every file and folder under their private homes,
// the backend's journal, a listener that no one should call, and the window's pages.
#include <fcntl.h>
#include <gio/gio.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCryptographicHash>
#include <QDesktopServices>
#include <QDirIterator>
#include <QFile>
#include <QHostAddress>
#include <QMutex>
#include <QNetworkInterface>
#include <QProcess>
#include <QQmlComponent>
#include <QQmlContext>
#include <QQuickItem>
#include <QQuickWindow>
#include <QSettings>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>

#include <algorithm>
#include <atomic>
#include <set>
#include <thread>

#include "app/app_dependency.h"
#include "app/window_services.h"
#include "backend/api_client.h"
#include "backend/auth_records.h"
#include "backend/device_repository.h"
#include "backend/endpoints.h"
#include "backend/errors.h"
#include "backend/token_manager.h"
#include "headless_process.h"
#include "log/log_buffer_service.h"
#include "log/log_line.h"
#include "platform/memory_secret_store.h"
#include "platform/open_secret_store.h"
#include "support/coro_test_util.h"
#include "support/devserver_process.h"
#include "support/private_keyring.h"
#include "support/qt_printers.h"
#include "tasks/task_orchestrator.h"
#include "ui/dashboard_view_model.h"
#include "ui/desktop_application.h"
#include "ui/language_migration.h"
#include "ui/svg_icon_item.h"
#include "ui/svg_image_cache.h"
#include "ui/svg_image_disk_cache_store.h"
#include "update/app_update_manager.h"

namespace corvanta::testing {
namespace {

using namespace std::chrono_literals;

// Long enough that a partial echo (a prefix of it) would still be recognisable.
const QString kKey = QStringLiteral("ck-live-7f3a9c2e5b1d4e8f60a2");

unsigned modeOf(const QString& path) {
    struct stat info {};
    EXPECT_EQ(::stat(path.toLocal8Bit().constData(), &info), 0) << path.toStdString();
    return info.st_mode & 0777;
}

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Every access token the client presented to the backend.
std::set<std::string> tokensSeen(DevServerProcess& server) {
    std::set<std::string> tokens;
    for (const auto& request : server.requests()) {
        const auto& headers = request["headers"];
        if (headers.contains("token") && !headers["token"].get<std::string>().empty()) {
            tokens.insert(headers["token"].get<std::string>());
        }
    }
    return tokens;
}

// Checks every file and folder under `home`: no folder is open to others, and no file but
// `secretFile` (empty: none at all) holds any of `secrets`.
void expectSecretsOnlyIn(const QString& home, const QString& secretFile,
                         const std::vector<QByteArray>& secrets) {
    int files = 0;
    QDirIterator it(home, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QFileInfo info = it.fileInfo();
        if (info.isSymLink()) {
            continue;
        }
        if (info.isDir()) {
            EXPECT_EQ(modeOf(path) & 077, 0u) << "folder open to others: " << path.toStdString();
            continue;
        }
        if (!info.isFile()) {
            continue;  // sockets of a keyring
        }
        ++files;
        if (path == secretFile) {
            continue;
        }
        const QByteArray content = readAll(path);
        for (const QByteArray& secret : secrets) {
            EXPECT_FALSE(content.contains(secret))
                << path.toStdString() << " holds " << secret.toStdString();
        }
    }
    EXPECT_GE(files, 2);  // the run log and the task database at least
}

std::vector<QByteArray> keyAndTokens(const std::set<std::string>& tokens) {
    std::vector<QByteArray> secrets{kKey.toUtf8()};
    for (const auto& token : tokens) {
        secrets.push_back(QByteArray::fromStdString(token));
    }
    return secrets;
}

// System-log lines of one category while a test runs.
class SystemLogCapture {
public:
    explicit SystemLogCapture(const char* category) {
        category_() = category;
        lines_().clear();
        previous_() = qInstallMessageHandler(&SystemLogCapture::handle);
    }
    ~SystemLogCapture() { qInstallMessageHandler(previous_()); }
    static QStringList lines() {
        QMutexLocker lock(&mutex_());
        return lines_();
    }

private:
    static void handle(QtMsgType type, const QMessageLogContext& context, const QString& text) {
        if (context.category && category_() == context.category) {
            QMutexLocker lock(&mutex_());
            lines_() << text;
        }
        if (previous_()) {
            previous_()(type, context, text);
        }
    }
    static QByteArray& category_() {
        static QByteArray name;
        return name;
    }
    static QStringList& lines_() {
        static QStringList list;
        return list;
    }
    static QtMessageHandler& previous_() {
        static QtMessageHandler handler = nullptr;
        return handler;
    }
    static QMutex& mutex_() {
        static QMutex lock;
        return lock;
    }
};

QString legacyKeyNameOf(const QString& identity) {
    return QStringLiteral("device_api_key.") +
           QString::fromLatin1(
               QCryptographicHash::hash(identity.toUtf8(), QCryptographicHash::Sha256).toHex());
}

// Writes the settings file an older version left behind: the key in clear under its current and
// legacy names, in a folder and file that everyone may read.
void writeOldSettingsFile(const QString& configDirectory) {
    // The user's configuration home is the user's own (0700 here); the application's folder in
    // it is what the older version left open.
    const QString home = QFileInfo(configDirectory).path();
    ASSERT_TRUE(QDir().mkpath(home));
    ::chmod(home.toLocal8Bit().constData(), 0700);
    ASSERT_TRUE(QDir().mkpath(configDirectory));
    ::chmod(configDirectory.toLocal8Bit().constData(), 0755);
    const QString path = configDirectory + QStringLiteral("/Corvanta.conf");
    {
        QSettings old(path, QSettings::IniFormat);
        old.setValue(QStringLiteral("corvanta_key.current"), kKey);
        old.setValue(QStringLiteral("device_api_key.current"), kKey);
        old.setValue(legacyKeyNameOf(QStringLiteral("old-serial")), kKey);
        old.setValue(QStringLiteral("app_theme"), QStringLiteral("dark"));
    }
    ::chmod(path.toLocal8Bit().constData(), 0644);
}

TEST(Security, AHeadlessRunKeepsKeyAndTokenInTheSecretFileOnly) {
    DevServerProcess server({"--difficulty", "3", "--demo-key", kKey});
    HeadlessProcess client(server.url());
    writeOldSettingsFile(client.configDirectory());
    client.captureStandardError();
    client.start(kKey);
    ASSERT_TRUE(client.waitFor("\\[TASK\\] ✅ verified id=", 1, 90s))
        << client.lines().join('\n').toStdString();
    EXPECT_EQ(client.terminate(), 0);

    const auto tokens = tokensSeen(server);
    ASSERT_FALSE(tokens.empty());
    const QByteArray keyPrefix = kKey.left(kKey.size() - 4).toUtf8();
    const QByteArray stdoutText = client.lines().join('\n').toUtf8();
    const QByteArray stderrText = client.standardError();

    // The key shows up masked, and neither it nor the token in any readable form.
    const QString masked = QString(kKey.size() - 4, QChar(0x2022)) + kKey.right(4);
    EXPECT_EQ(client.countMatching(QStringLiteral("\\[AUTH\\] key loaded ") + masked + "$"), 1)
        << stdoutText.toStdString();
    for (const auto* stream : {&stdoutText, &stderrText}) {
        EXPECT_FALSE(stream->contains(keyPrefix)) << stream->toStdString();
        for (const auto& token : tokens) {
            EXPECT_FALSE(stream->contains(QByteArray::fromStdString(token)));
        }
    }

    // The old settings file lost the key under every name and kept the rest.
    const QByteArray settings =
        readAll(client.configDirectory() + QStringLiteral("/Corvanta.conf"));
    EXPECT_FALSE(settings.contains(keyPrefix)) << settings.toStdString();
    EXPECT_FALSE(settings.contains("device_api_key")) << settings.toStdString();
    EXPECT_TRUE(settings.contains("app_theme")) << settings.toStdString();

    // No Secret Service here: the fallback file alone holds key and token, and only its owner
    // can read it or even enter its folder (which an older version had left open).
    const QString secretFile = client.configDirectory() + QStringLiteral("/secrets.json");
    expectSecretsOnlyIn(client.homeDirectory(), secretFile, keyAndTokens(tokens));
    const QByteArray secrets = readAll(secretFile);
    EXPECT_TRUE(secrets.contains(kKey.toUtf8()));
    EXPECT_TRUE(std::any_of(tokens.begin(), tokens.end(), [&](const std::string& token) {
        return secrets.contains(QByteArray::fromStdString(token));
    }));
    EXPECT_EQ(modeOf(secretFile), 0600u);
    EXPECT_EQ(modeOf(client.configDirectory()), 0700u);
}

// Item paths the Secret Service on `address` finds for this client's account.
QByteArray keyringItems(const QString& address, const char* account) {
    QProcess search;
    search.start(QStringLiteral("dbus-send"),
                 {QStringLiteral("--bus=") + address, QStringLiteral("--print-reply"),
                  QStringLiteral("--dest=org.freedesktop.secrets"),
                  QStringLiteral("/org/freedesktop/secrets"),
                  QStringLiteral("org.freedesktop.Secret.Service.SearchItems"),
                  QStringLiteral("dict:string:string:service,com.corvanta,account,") +
                      QString::fromLatin1(account)});
    search.waitForFinished(10'000);
    const QByteArray reply = search.readAllStandardOutput();
    const qsizetype items = reply.indexOf("/org/freedesktop/secrets/collection/");
    return items < 0 ? QByteArray() : reply.mid(items);
}

TEST(Security, AHeadlessRunWithAKeyringLeavesNoSecretFile) {
    QTemporaryDir busDirectory;
    PrivateKeyring keyring(busDirectory.path());
    ASSERT_TRUE(keyring.waitUntilServing());

    DevServerProcess server({"--difficulty", "3", "--demo-key", kKey});
    HeadlessProcess client(server.url());
    client.setEnvironment(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), keyring.address());
    client.start(kKey);
    ASSERT_TRUE(client.waitFor("\\[TASK\\] ✅ verified id=", 1, 90s))
        << client.lines().join('\n').toStdString();
    EXPECT_EQ(client.terminate(), 0);

    const auto tokens = tokensSeen(server);
    ASSERT_FALSE(tokens.empty());
    EXPECT_FALSE(QFile::exists(client.configDirectory() + QStringLiteral("/secrets.json")));
    expectSecretsOnlyIn(client.homeDirectory(), QString(), keyAndTokens(tokens));
    EXPECT_FALSE(keyringItems(keyring.address(), "access_token").isEmpty());
    EXPECT_FALSE(keyringItems(keyring.address(), "corvanta_key.current").isEmpty());
}

// ---- The window ----------------------------------------------------------------------------

void collectNamed(QObject* root, const QString& name, QList<QObject*>& found) {
    if (!root) {
        return;
    }
    if (root->objectName() == name && !found.contains(root)) {
        found.append(root);
    }
    for (QObject* child : root->children()) {
        collectNamed(child, name, found);
    }
    if (auto* item = qobject_cast<QQuickItem*>(root)) {
        for (QQuickItem* child : item->childItems()) {
            if (child->parent() != root) {
                collectNamed(child, name, found);
            }
        }
    }
}

bool isShown(QObject* object) {
    auto* item = qobject_cast<QQuickItem*>(object);
    return item && item->isVisible() && item->width() > 0 && item->height() > 0;
}

// The window's objects by name, the shown ones first (a page that was left may linger).
class WindowDriver {
public:
    explicit WindowDriver(QQuickWindow* window) : window_(window) {}

    QObject* find(const QString& name) const {
        QList<QObject*> found;
        collectNamed(window_, name, found);
        collectNamed(window_->contentItem(), name, found);
        for (QObject* object : found) {
            if (isShown(object)) {
                return object;
            }
        }
        return found.isEmpty() ? nullptr : found.first();
    }
    bool waitShown(const QString& name, std::chrono::milliseconds limit = 20s) const {
        return processEventsUntil([&] { return isShown(find(name)); }, limit);
    }
    QString text(const QString& name) const {
        QObject* object = find(name);
        return object ? object->property("text").toString() : QString();
    }
    void click(const QString& name) const {
        QObject* target = find(name);
        ASSERT_NE(target, nullptr) << name.toStdString();
        ASSERT_TRUE(QMetaObject::invokeMethod(target, "clicked")) << name.toStdString();
    }
    void signIn(const QString& key) const {
        ASSERT_TRUE(waitShown(QStringLiteral("loginPage")));
        QObject* field = find(QStringLiteral("keyField"));
        ASSERT_NE(field, nullptr);
        field->setProperty("text", key);
        click(QStringLiteral("connectButton"));
    }

private:
    QQuickWindow* window_;
};

QString homeOfThisProcess() {
    return qEnvironmentVariable("HOME");
}

TEST(Security, AWindowRunKeepsKeyAndTokenInTheSecretFileOnly) {
    DevServerProcess server({"--difficulty", "3", "--demo-key", kKey});
    qputenv("CORVANTA_API_BASE_URL", server.url().toUtf8());
    app::AppDependency deps;
    ui::migrateLanguageToEnglish(deps.settings());
    {
        ui::DesktopApplication desktop(app::windowServices(deps));
        ASSERT_TRUE(desktop.load());
        WindowDriver window(desktop.window());
        window.signIn(kKey);
        ASSERT_TRUE(window.waitShown(QStringLiteral("mainView")));
        ASSERT_TRUE(processEventsUntil(
            [&] {
                return !deps.logBuffer()
                            .logLines()
                            .filter(QStringLiteral("✅ verified id="))
                            .isEmpty();
            },
            90s));
        desktop.shutdown();
        deps.orchestrator().stop();
        processEventsFor(300ms);
    }
    runSync(deps.tokenManager().flush());
    deps.settings().sync();

    const auto tokens = tokensSeen(server);
    ASSERT_FALSE(tokens.empty());
    const QString config = qEnvironmentVariable("XDG_CONFIG_HOME") + QStringLiteral("/Corvanta");
    const QString secretFile = config + QStringLiteral("/secrets.json");
    expectSecretsOnlyIn(homeOfThisProcess(), secretFile, keyAndTokens(tokens));
    EXPECT_TRUE(readAll(secretFile).contains(kKey.toUtf8()));
    EXPECT_EQ(modeOf(secretFile), 0600u);
    EXPECT_FALSE(readAll(config + QStringLiteral("/Corvanta.conf")).contains(kKey.toUtf8()));
}

// Records the URLs the desktop would open, per scheme; nothing reaches a real browser.
class UrlHandlers : public QObject {
    Q_OBJECT

public:
    explicit UrlHandlers(QStringList schemes) : schemes_(std::move(schemes)) {
        for (const QString& scheme : schemes_) {
            QDesktopServices::setUrlHandler(scheme, this, "handle");
        }
    }
    ~UrlHandlers() override {
        for (const QString& scheme : schemes_) {
            QDesktopServices::unsetUrlHandler(scheme);
        }
    }
    QList<QUrl> opened;

public slots:
    void handle(const QUrl& url) { opened << url; }

private:
    QStringList schemes_;
};

const QStringList kLinkSchemes{"https", "http", "file", "smb", "javascript", "corvanta-x", "ftp"};

// Every link kind a backend text may carry; only the https one may open.
const QStringList kLinks{"https://example.org/terms", "http://example.org/terms",
                         "file:///etc/passwd",        "smb://fileserver/share",
                         "javascript:alert(1)",       "corvanta-x://do-something",
                         "ftp://example.org/file"};

// Activates every link on `item` and returns what the desktop was asked to open.
QList<QUrl> activateLinks(QObject* item, UrlHandlers& handlers) {
    handlers.opened.clear();
    for (const QString& link : kLinks) {
        QMetaObject::invokeMethod(item, "linkActivated", Q_ARG(QString, link));
    }
    processEventsFor(100ms);
    return handlers.opened;
}

TEST(Security, BackendTextIsShownAsTextAndLoadsNothing) {
    // Anything the pages fetch on their own ends up here.
    QTcpServer listener;
    ASSERT_TRUE(listener.listen(QHostAddress::LocalHost));
    int fetches = 0;
    QObject::connect(&listener, &QTcpServer::newConnection, [&] {
        while (QTcpSocket* socket = listener.nextPendingConnection()) {
            ++fetches;
            socket->close();
        }
    });
    const std::string port = std::to_string(listener.serverPort());
    const std::string image = "<img src=\"http://127.0.0.1:" + port + "/probe.png\">";
    const std::string links =
        "<a href=\"file:///etc/passwd\">local</a> <a href=\"https://example.org/\">web</a>";
    const std::string notice = nlohmann::json{
        {"id", 9},
        {"title", image + " Maintenance"},
        {"content", "<p>Read <b>this</b>.</p>" + image + links +
                        "<style>p { color: red }</style><script>x()</script>"},
        {"createtime", 1700000000}}.dump();

    DevServerProcess server({"--difficulty", "6"});
    qputenv("CORVANTA_API_BASE_URL", server.url().toUtf8());
    server.addFault({{"path", "/api/user/keyLogin"}, {"code", 0}, {"msg", image + " refused"}});
    server.addFault({{"path", "/api/index/index"},
                     {"count", -1},
                     {"body", R"({"code":1,"msg":"ok","data":{"token_scarcity":40,"notice":)" +
                                  notice + R"(,"recent":[],"model_tops":[]}})"}});
    server.addFault(
        {{"path", "/api/index/noticeList"},
         {"count", -1},
         {"body", R"({"code":1,"msg":"ok","data":{"code":1,"msg":"","time":"0","data":[)" + notice +
                      "]}}"}});
    server.addFault(
        {{"path", "/api/page/detail"},
         {"count", -1},
         {"body",
          nlohmann::json{{"code", 1},
                         {"msg", "ok"},
                         {"data",
                          {{"title", image + " About"},
                           {"content", "<html><head><title>t</title></head><body><h2>About</h2>" +
                                           image + "<p>See " + links + "</p></body></html>"}}}}
              .dump()}});
    server.addFault({{"path", "/api/device/getTask"}, {"code", 0}, {"msg", image + " no task"}});

    app::AppDependency deps;
    ui::migrateLanguageToEnglish(deps.settings());
    ui::DesktopApplication desktop(app::windowServices(deps));
    ASSERT_TRUE(desktop.load());
    WindowDriver window(desktop.window());
    UrlHandlers handlers(kLinkSchemes);
    const QList<QUrl> httpsOnly{QUrl(QStringLiteral("https://example.org/terms"))};

    // A login error carrying markup shows it as text.
    window.signIn(server.demoKey());
    ASSERT_TRUE(window.waitShown(QStringLiteral("loginError")));
    EXPECT_TRUE(processEventsUntil([&] {
        return window.text(QStringLiteral("loginError")).contains(QStringLiteral("<img"));
    }));
    window.click(QStringLiteral("connectButton"));
    ASSERT_TRUE(window.waitShown(QStringLiteral("mainView")));

    // The banner's title, the list's summary, the detail's body.
    ASSERT_TRUE(processEventsUntil([&] {
        return window.text(QStringLiteral("bannerAnnouncementTitle"))
            .contains(QStringLiteral("Maintenance"));
    }));
    window.click(QStringLiteral("announcementListButton"));
    ASSERT_TRUE(window.waitShown(QStringLiteral("announcementRow_0")));
    processEventsFor(500ms);
    desktop.dashboard().openAnnouncement(0);
    ASSERT_TRUE(window.waitShown(QStringLiteral("announcementContent")));
    processEventsFor(500ms);
    QObject* body = window.find(QStringLiteral("announcementContent"));
    const QString bodyText = body->property("text").toString();
    EXPECT_TRUE(bodyText.contains(QStringLiteral("<b>this</b>"))) << bodyText.toStdString();
    EXPECT_FALSE(bodyText.contains(QStringLiteral("<img"), Qt::CaseInsensitive))
        << bodyText.toStdString();
    EXPECT_FALSE(bodyText.contains(QStringLiteral("x()"))) << bodyText.toStdString();
    EXPECT_EQ(activateLinks(body, handlers), httpsOnly);

    // A run-log line that quotes the backend.
    window.click(QStringLiteral("module_run_log"));
    ASSERT_TRUE(window.waitShown(QStringLiteral("runLogPage")));
    ASSERT_TRUE(processEventsUntil(
        [&] { return !deps.logBuffer().logLines().filter(QStringLiteral("no task")).isEmpty(); }));
    processEventsFor(500ms);
    deps.orchestrator().stop();

    // A content page.
    QObject* pages = desktop.engine()
                         .rootContext()
                         ->contextProperty(QStringLiteral("pageContent"))
                         .value<QObject*>();
    ASSERT_NE(pages, nullptr);
    QMetaObject::invokeMethod(pages, "open", Q_ARG(QString, QStringLiteral("about")));
    ASSERT_TRUE(window.waitShown(QStringLiteral("contentText")));
    ASSERT_TRUE(processEventsUntil([&] {
        return window.text(QStringLiteral("contentText")).contains(QStringLiteral("About"));
    }));
    processEventsFor(500ms);
    QObject* page = window.find(QStringLiteral("contentText"));
    const QString pageText = page->property("text").toString();
    EXPECT_FALSE(pageText.contains(QStringLiteral("<img"), Qt::CaseInsensitive))
        << pageText.toStdString();
    EXPECT_TRUE(pageText.contains(QStringLiteral("<p class=\"h2\">About</p>")))
        << pageText.toStdString();
    EXPECT_EQ(activateLinks(page, handlers), httpsOnly);

    // Behind the pages' own rules, the engine itself fetches nothing: an image source set to an
    // address is refused, with a line on the system log.
    SystemLogCapture log("corvanta.dashboard");
    QQmlComponent probe(&desktop.engine());
    probe.setData(
        QStringLiteral("import QtQuick\nImage { source: \"http://127.0.0.1:%1/direct.png\" }")
            .arg(listener.serverPort())
            .toUtf8(),
        QUrl());
    std::unique_ptr<QObject> direct(probe.create());
    ASSERT_TRUE(direct) << probe.errorString().toStdString();
    EXPECT_TRUE(processEventsUntil([&] { return direct->property("status").toInt() == 3; },
                                   10s));  // Image.Error
    EXPECT_FALSE(log.lines().filter(QStringLiteral("refused a request of the pages")).isEmpty());

    EXPECT_EQ(fetches, 0);
    desktop.shutdown();
    processEventsFor(300ms);
}

TEST(Security, UpdateDownloadsAreHttpsOnly) {
    QTcpServer listener;
    ASSERT_TRUE(listener.listen(QHostAddress::LocalHost));
    const std::string notes =
        "<img src=\"http://127.0.0.1:" + std::to_string(listener.serverPort()) +
        "/probe.png\"> Faster.";
    DevServerProcess server;
    qputenv("CORVANTA_API_BASE_URL", server.url().toUtf8());
    app::AppDependency deps;
    ui::DesktopApplication desktop(app::windowServices(deps));
    ASSERT_TRUE(desktop.load());
    WindowDriver window(desktop.window());
    UrlHandlers handlers(kLinkSchemes);
    auto& updates = deps.updateManager();

    const auto offer = [&](const std::string& url) {
        // A check under way (the window's first) would take the reply meant for this one.
        processEventsUntil([&] { return !updates.isChecking(); });
        updates.dismissUpdate();
        server.addFault({{"path", "/api/index/version"},
                         {"body", nlohmann::json{{"code", 1},
                                                 {"msg", "ok"},
                                                 {"data",
                                                  {{"enforce", 0},
                                                   {"version", "1.0.0"},
                                                   {"newversion", "9.9.9"},
                                                   {"downloadurl", url},
                                                   {"packagesize", "1 MB"},
                                                   {"upgradetext", notes}}}}
                                      .dump()}});
        updates.requestCheck();
        return window.waitShown(QStringLiteral("updatePrompt"));
    };
    for (const char* url :
         {"http://downloads.example/c.deb", "smb://fileserver/c.deb", "javascript:alert(1)",
          "corvanta-x://install", "ftp://example.org/c.deb", "file:///tmp/c.deb"}) {
        ASSERT_TRUE(offer(url)) << url;
        EXPECT_FALSE(isShown(window.find(QStringLiteral("updateButton")))) << url;
        QMetaObject::invokeMethod(window.find(QStringLiteral("updateButton")), "clicked");
        EXPECT_TRUE(handlers.opened.isEmpty()) << url;
    }
    ASSERT_TRUE(offer("https://downloads.example/c.deb"));
    ASSERT_TRUE(isShown(window.find(QStringLiteral("updateButton"))));
    EXPECT_TRUE(window.text(QStringLiteral("updateNotes")).contains(QStringLiteral("<img")));
    window.click(QStringLiteral("updateButton"));
    EXPECT_EQ(handlers.opened,
              QList<QUrl>{QUrl(QStringLiteral("https://downloads.example/c.deb"))});
    processEventsFor(300ms);
    EXPECT_FALSE(listener.hasPendingConnections());
    desktop.shutdown();
}

// ---- The backend's origin ------------------------------------------------------------------

// Whether a call fails; its error stays in the test log.
template <class Task>
bool fails(Task task) {
    try {
        runSync(std::move(task), 60s);
        return false;
    } catch (const std::exception& error) {
        std::printf("  refused: %s\n", error.what());
        return true;
    }
}

TEST(Security, CredentialsNeverFollowARedirectToAnotherOrigin) {
    DevServerProcess home({"--difficulty", "1"});
    DevServerProcess elsewhere;  // the same host on another port: another origin
    qputenv("CORVANTA_API_BASE_URL", home.url().toUtf8());
    SystemLogCapture log("corvanta.auth");
    auto store = std::make_shared<platform::MemorySecretStore>();
    backend::TokenManager tokens([store] { return store; });
    runSync(tokens.load());
    backend::ApiClient client(tokens);
    backend::DeviceRepository devices(client);

    // A signed-in device with a task, so that there is a token and a task to lose.
    const auto signedIn = runSync(client.requestOptional<backend::KeyLoginResponse>(
        backend::AuthEndpoint::keyLogin(home.demoKey())));
    ASSERT_TRUE(signedIn && signedIn->token);
    tokens.storeToken(*signedIn->token);
    const auto device = runSync(
        devices.registerDevice(QStringLiteral("SN-R"), QStringLiteral("n"), QStringLiteral("c")));
    const auto task = runSync(devices.fetchTask(device.id));

    struct Case {
        std::string path;
        std::function<QCoro::Task<>()> call;
    };
    const std::vector<Case> cases{
        {"/api/user/keyLogin",
         [&]() -> QCoro::Task<> {
             co_await client.requestOptional<backend::KeyLoginResponse>(
                 backend::AuthEndpoint::keyLogin(home.demoKey()));
         }},
        {"/api/token/check",
         [&]() -> QCoro::Task<> {
             co_await client.requestOptional<backend::TokenCheckResponse>(
                 backend::AuthEndpoint::tokenCheck());
         }},
        {"/api/device/getTask", [&]() -> QCoro::Task<> { co_await devices.fetchTask(device.id); }},
        {"/api/device/pullTask",
         [&]() -> QCoro::Task<> {
             co_await client.requestEmpty(
                 backend::DeviceEndpoint::pullTask(task.taskId, QStringLiteral("1")));
         }},
    };
    int refused = 0;
    for (const int status : {302, 307}) {
        for (const auto& [path, call] : cases) {
            SCOPED_TRACE(path + " " + std::to_string(status));
            home.addFault({{"path", path},
                           {"redirect", elsewhere.url().toStdString() + path},
                           {"redirectStatus", status}});
            EXPECT_TRUE(fails(call()));
            ++refused;
            // Nothing of the request reached the other server: no token, no key, no body.
            for (const auto& request : elsewhere.requests()) {
                ADD_FAILURE() << "the other origin received " << request.dump();
            }
            elsewhere.clearRequests();
        }
    }
    // One system-log line per refused redirect.
    EXPECT_EQ(log.lines().filter(QStringLiteral("redirect")).size(), refused)
        << log.lines().join('\n').toStdString();

    // A redirect within the backend's origin is followed as before, token and all.
    home.addFault({{"path", "/api/token/check"},
                   {"redirect", home.url().toStdString() + "/api/token/check"},
                   {"redirectStatus", 307}});
    const auto remaining = runSync(
        client.requestOptional<backend::TokenCheckResponse>(backend::AuthEndpoint::tokenCheck()));
    EXPECT_TRUE(remaining && remaining->expiresIn > 0);

    // Icons carry no token and follow no redirect to a local file.
    QTemporaryDir cacheDirectory;
    ui::SvgImageCache icons(std::make_shared<ui::SvgImageDiskCacheStore>(cacheDirectory.path()),
                            &client.network());
    home.addFault({{"path", "/static/icons/aurora.svg"}, {"redirect", "file:///etc/hostname"}});
    EXPECT_FALSE(
        runSync(icons.fetch(QUrl(home.url() + QStringLiteral("/static/icons/aurora.svg")))));
    EXPECT_TRUE(
        runSync(icons.fetch(QUrl(home.url() + QStringLiteral("/static/icons/basalt.svg")))));
    for (const auto& request : home.requests()) {
        if (request["path"].get<std::string>().rfind("/static/", 0) == 0) {
            EXPECT_FALSE(request["headers"].contains("token")) << request.dump();
        }
    }
}

// ---- Log lines, numbers, icons --------------------------------------------------------------

// One of every character a line must not carry to a terminal or a page: C0 controls, DEL, C1
// controls, the line and paragraph separators, and the bidirectional marks, embeddings,
// overrides and isolates.
const std::vector<char16_t> kHostileCharacters{
    0x01,   0x1b,   0x0a,   0x0d,   0x7f,   0x85,   0x9b,   0x2028, 0x2029, 0x200e,
    0x200f, 0x202a, 0x202b, 0x202c, 0x202d, 0x202e, 0x2066, 0x2067, 0x2068, 0x2069};

QString hostileText() {
    QString text = QStringLiteral("bad");
    for (const char16_t c : kHostileCharacters) {
        text += QChar(c);
        text += QLatin1Char('x');
    }
    return text;
}

// The hostile characters found in `text`, as code points.
std::vector<int> hostileIn(const QString& text) {
    std::vector<int> found;
    for (const QChar c : text) {
        if (std::find(kHostileCharacters.begin(), kHostileCharacters.end(), c.unicode()) !=
            kHostileCharacters.end()) {
            found.push_back(c.unicode());
        }
    }
    return found;
}

TEST(Security, LogLinesAreScrubbedAndKeysMasked) {
    const QString line = log::buildLogLine(QStringLiteral("2026-01-31T08:15:02Z"),
                                           QStringLiteral("TASK"), hostileText() + "\tend");
    EXPECT_EQ(hostileIn(line), std::vector<int>{});
    EXPECT_TRUE(line.endsWith(QStringLiteral("\tend")));  // the tab stays
    EXPECT_EQ(line.size(),
              QStringLiteral("[2026-01-31T08:15:02Z] [TASK] ").size() + hostileText().size() + 4);

    using tasks::TaskOrchestrator;
    EXPECT_EQ(TaskOrchestrator::maskedKey(QStringLiteral("a")), QStringLiteral("•"));
    EXPECT_EQ(TaskOrchestrator::maskedKey(QStringLiteral("ab")), QStringLiteral("••"));
    EXPECT_EQ(TaskOrchestrator::maskedKey(QStringLiteral("abc")), QStringLiteral("•••"));
    EXPECT_EQ(TaskOrchestrator::maskedKey(QStringLiteral("abcd")), QStringLiteral("••••"));
    EXPECT_EQ(TaskOrchestrator::maskedKey(QStringLiteral("abcde")), QStringLiteral("•bcde"));

    // The headless program's own messages and the run log on its standard output.
    const QString shortKey = QStringLiteral("k3y");
    DevServerProcess server({"--difficulty", "2", "--demo-key", shortKey});
    server.addFault(
        {{"path", "/api/user/keyLogin"}, {"code", 0}, {"msg", hostileText().toStdString()}});
    HeadlessProcess client(server.url());
    client.captureStandardError();
    client.start(shortKey);
    EXPECT_EQ(client.waitForExit(60s), 1);
    // Every hostile character became a space, and the message stayed on its line.
    QString scrubbed = QStringLiteral("bad");
    for (std::size_t i = 0; i < kHostileCharacters.size(); ++i) {
        scrubbed += QStringLiteral(" x");
    }
    const QStringList errors = QString::fromUtf8(client.standardError()).split(QLatin1Char('\n'));
    EXPECT_TRUE(errors.contains(
        QStringLiteral("corvanta-headless: sign-in with CORVANTA_KEY failed: ") + scrubbed))
        << errors.join('\n').toStdString();

    server.addFault(
        {{"path", "/api/device/getTask"}, {"code", 0}, {"msg", hostileText().toStdString()}});
    client.start(shortKey);
    ASSERT_TRUE(client.waitFor(QStringLiteral("task fetch failed error=bad"), 1, 60s))
        << client.lines().join('\n').toStdString();
    EXPECT_EQ(client.countMatching(QStringLiteral("\\[AUTH\\] key loaded •••$")), 1)
        << client.lines().join('\n').toStdString();
    client.terminate();
    for (const QString& output : client.lines()) {
        EXPECT_EQ(hostileIn(output), std::vector<int>{}) << output.toStdString();
    }
}

TEST(Security, NumbersAtTheEdgeAreClampedNotFatal) {
    DevServerProcess server({"--difficulty", "2", "--upper-bound", "9223372036854775807"});
    // A token check that promises a lifetime beyond any calendar.
    server.addFault(
        {{"path", "/api/token/check"},
         {"count", -1},
         {"body", R"({"code":1,"msg":"ok","data":{"expires_in":9223372036854775807}})"}});
    HeadlessProcess client(server.url());
    client.start(server.demoKey());
    const QString solved = QStringLiteral("\\[TASK\\] ✅ verified id=");
    ASSERT_TRUE(client.waitFor(solved, 1, 60s)) << client.lines().join('\n').toStdString();
    server.configure({{"upperBound", 9223372036854775808ULL}});  // 2^63
    ASSERT_TRUE(client.waitFor(solved, 2, 60s)) << client.lines().join('\n').toStdString();
    server.configure({{"upperBound", 18446744073709551615ULL}});  // 2^64 - 1
    ASSERT_TRUE(client.waitFor(solved, 3, 60s)) << client.lines().join('\n').toStdString();

    // A seed of 65 KiB is no task: the fetch counts as failed and the next one runs.
    const std::string seed(65 * 1024, 's');
    server.addFault({{"path", "/api/device/getTask"},
                     {"body", nlohmann::json{{"code", 1},
                                             {"msg", "ok"},
                                             {"data",
                                              {{"task_id", "huge"},
                                               {"begin_time", 0},
                                               {"seed", seed},
                                               {"difficulty", 1},
                                               {"nonce_upper_bound", 1000}}}}
                                  .dump()}});
    ASSERT_TRUE(client.waitFor(QStringLiteral("task response missing seed or difficulty"), 1, 60s))
        << client.lines().join('\n').toStdString();
    ASSERT_TRUE(client.waitFor(solved, 4, 60s)) << client.lines().join('\n').toStdString();
    EXPECT_EQ(client.terminate(), 0);
    EXPECT_EQ(client.countMatching(QStringLiteral("task fetch failed error=")),
              0);  // none undecodable

    // The accepted nonces lie below the bound the client searched: 2^63 - 1 at most.
    int solvedTasks = 0;
    for (const auto& task : server.tasks()) {
        solvedTasks += task["solved"].get<bool>() ? 1 : 0;
    }
    EXPECT_GE(solvedTasks, 4);
    QDirIterator it(client.homeDirectory(), QDir::Files | QDir::Hidden,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        EXPECT_FALSE(readAll(it.next()).contains(QByteArray(1024, 's')))
            << it.filePath().toStdString();
    }
}

// Watches a FIFO from a thread of its own: whenever a reader has opened it (and blocks there),
// notes it and lets the reader go with an empty read, so that nothing waits for good.
class FifoWatch {
public:
    explicit FifoWatch(QString path) : path_(std::move(path)) {
        EXPECT_EQ(::mkfifo(path_.toLocal8Bit().constData(), 0600), 0);
        thread_ = std::thread([this] {
            while (!stop_) {
                const int fd = ::open(path_.toLocal8Bit().constData(), O_WRONLY | O_NONBLOCK);
                if (fd >= 0) {
                    opened_ = true;
                    ::close(fd);
                }
                std::this_thread::sleep_for(20ms);
            }
        });
    }
    ~FifoWatch() {
        stop_ = true;
        thread_.join();
    }
    bool opened() const { return opened_; }

private:
    QString path_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> opened_{false};
    std::thread thread_;
};

TEST(Security, SvgIconsThatReferenceAnythingButInlineDataAreRefused) {
    QTemporaryDir directory;
    const QString fifo = directory.filePath(QStringLiteral("icon-fifo"));
    FifoWatch watch(fifo);  // outlives the cache, whose threads it would free
    DevServerProcess server;
    const std::string open = R"(<svg xmlns="http://www.w3.org/2000/svg" )"
                             R"(xmlns:xlink="http://www.w3.org/1999/xlink" width="64" height="64" )"
                             R"(viewBox="0 0 64 64"><rect width="64" height="64" fill="#4f7cff"/>)";
    const std::string path = fifo.toStdString();
    const std::map<std::string, std::string> refused{
        {"image", open + "<image href=\"" + path + "\" width=\"64\" height=\"64\"/></svg>"},
        {"xlink", open + "<image xlink:href=\"" + path + "\" width=\"64\" height=\"64\"/></svg>"},
        {"fileurl",
         open + "<image xlink:href=\"file://" + path + "\" width=\"9\" height=\"9\"/></svg>"},
        {"relative", open + "<image href=\"icon-fifo\" width=\"9\" height=\"9\"/></svg>"},
        {"remote",
         open + "<image href=\"http://127.0.0.1:9/x.png\" width=\"9\" height=\"9\"/></svg>"},
        {"use", open + "<use href=\"other.svg#shape\"/></svg>"},
        {"style", open + "<rect width=\"9\" height=\"9\" style=\"fill:url(" + path + ")\"/></svg>"},
        {"entity", "<?xml version=\"1.0\"?><!DOCTYPE svg [<!ENTITY e SYSTEM \"" + path + "\">]>" +
                       open + "<text>&e;</text></svg>"},
    };
    for (const auto& [name, body] : refused) {
        server.addFault(
            {{"path", "/static/icons/" + name + ".svg"}, {"count", -1}, {"body", body}});
    }
    // Inline data and references within the document are fine.
    const std::string pixel =
        "data:image/"
        "png;base64,iVBORw0KGgoAAAANSUhEUgAAAAEAAAABCAYAAAAfFcSJAAAADUlEQVR42mNk+"
        "M9QDwADhgGAWjR9awAAAABJRU5ErkJggg==";
    server.addFault(
        {{"path", "/static/icons/inline.svg"},
         {"count", -1},
         {"body", open +
                      R"svg(<defs><linearGradient id="g"><stop offset="0" stop-color="#fff"/>)svg"
                      R"svg(</linearGradient></defs><rect width="9" height="9" fill="url(#g)"/>)svg"
                      "<image href=\"" +
                      pixel + "\" width=\"9\" height=\"9\"/></svg>"}});

    auto store =
        std::make_shared<ui::SvgImageDiskCacheStore>(directory.filePath(QStringLiteral("cache")));
    ui::SvgImageCache cache(store, nullptr);
    const auto iconUrl = [&](const std::string& name) {
        return QUrl(server.url() +
                    QStringLiteral("/static/icons/%1.svg").arg(QString::fromStdString(name)));
    };

    std::vector<std::unique_ptr<ui::SvgIconItem>> items;
    for (const auto& [name, body] : refused) {
        auto item = std::make_unique<ui::SvgIconItem>();
        item->setCache(&cache);
        item->setUrl(iconUrl(name));
        EXPECT_EQ(item->status(), ui::SvgIconItem::Loading) << name;  // the placeholder, meanwhile
        items.push_back(std::move(item));
    }
    // The same bytes found in the disk cache are refused as well.
    const QUrl cachedUrl(QStringLiteral("https://icons.example/cached.svg"));
    store->write(cachedUrl, QByteArray::fromStdString(refused.at("image")));
    auto fromDisk = std::make_unique<ui::SvgIconItem>();
    fromDisk->setCache(&cache);
    fromDisk->setUrl(cachedUrl);
    items.push_back(std::move(fromDisk));
    for (const auto& item : items) {
        EXPECT_TRUE(
            processEventsUntil([&] { return item->status() == ui::SvgIconItem::Error; }, 10s))
            << item->url().toString().toStdString();
    }
    ui::SvgIconItem inline_;
    inline_.setCache(&cache);
    inline_.setUrl(iconUrl("inline"));
    EXPECT_TRUE(
        processEventsUntil([&] { return inline_.status() == ui::SvgIconItem::Ready; }, 20s));
    processEventsFor(200ms);
    EXPECT_FALSE(watch.opened()) << "the icon read the FIFO";
}

// ---- The keyring ---------------------------------------------------------------------------

TEST(Security, AKeyringThatAppearsLaterTakesOverTheFallbackFile) {
    QTemporaryDir directory;
    const QString busDirectory = directory.filePath(QStringLiteral("bus"));
    const QString fallback = directory.filePath(QStringLiteral("config/Corvanta/secrets.json"));
    // The session bus will come up here later; for now nobody answers.
    const QByteArray previousAddress = qgetenv("DBUS_SESSION_BUS_ADDRESS");
    qputenv("DBUS_SESSION_BUS_ADDRESS", PrivateKeyring::addressFor(busDirectory).toUtf8());

    backend::TokenManager tokens([fallback]() -> std::shared_ptr<platform::SecretStore> {
        return platform::openSecretStore(backend::TokenManager::kService, fallback);
    });
    runSync(tokens.load());
    tokens.storeToken(QStringLiteral("early-token"));
    runSync(tokens.flush());
    ASSERT_TRUE(readAll(fallback).contains("early-token"));

    // The desktop's keyring starts; the next sign-in finds it.
    {
        PrivateKeyring keyring(busDirectory);
        ASSERT_TRUE(keyring.waitUntilServing());
        tokens.storeToken(QStringLiteral("later-token"));
        for (int tries = 0; tries < 200 && QFile::exists(fallback); ++tries) {
            runSync(tokens.flush());
            processEventsFor(100ms);
        }
        EXPECT_FALSE(QFile::exists(fallback));
        EXPECT_FALSE(keyringItems(keyring.address(), "access_token").isEmpty());
        EXPECT_EQ(tokens.currentToken(), QStringLiteral("later-token"));

        // The bus goes away with this scope; GLib would end the process when it sees that.
        GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
        if (bus) {
            g_dbus_connection_set_exit_on_close(bus, FALSE);
            g_object_unref(bus);
        }
    }
    qputenv("DBUS_SESSION_BUS_ADDRESS", previousAddress);
    if (previousAddress.isEmpty()) {
        qunsetenv("DBUS_SESSION_BUS_ADDRESS");
    }
}

// An address of this machine that is not loopback, or none.
QHostAddress externalAddress() {
    for (const QHostAddress& address : QNetworkInterface::allAddresses()) {
        if (address.protocol() == QAbstractSocket::IPv4Protocol && !address.isLoopback()) {
            return address;
        }
    }
    return {};
}

// A self-signed certificate for 127.0.0.1, trusted by nobody.
bool makeCertificate(const QString& certFile, const QString& keyFile) {
    QProcess openssl;
    openssl.start(QStringLiteral("openssl"),
                  {"req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1",
                   "-nodes", "-days", "2", "-subj", "/CN=127.0.0.1", "-addext",
                   "subjectAltName=IP:127.0.0.1", "-keyout", keyFile, "-out", certFile});
    return openssl.waitForFinished(30'000) && openssl.exitCode() == 0;
}

TEST(Security, RefusesPlainHttpToAnotherHostAndAnUntrustedCertificate) {
    // Plain HTTP to a non-loopback address: refused before anything is sent. A listener on
    // that address would see the attempt.
    QTcpServer listener;
    const QHostAddress external = externalAddress();
    QString plainUrl = QStringLiteral("http://192.0.2.1:9");  // documentation range: unreachable
    if (!external.isNull() && listener.listen(external)) {
        plainUrl =
            QStringLiteral("http://%1:%2").arg(external.toString()).arg(listener.serverPort());
    }
    {
        HeadlessProcess client(plainUrl);
        client.captureStandardError();
        client.start(kKey);
        EXPECT_EQ(client.waitForExit(30s), 1);
        EXPECT_TRUE(client.standardError().contains("The server address is not valid."))
            << client.standardError().toStdString();
    }
    if (listener.isListening()) {
        EXPECT_FALSE(listener.waitForNewConnection(200)) << plainUrl.toStdString();
    }

    // HTTPS with a certificate no authority vouches for: the handshake fails and no request
    // reaches the server.
    QTemporaryDir dir;
    const QString cert = dir.filePath(QStringLiteral("self.pem"));
    const QString certKey = dir.filePath(QStringLiteral("self.key"));
    ASSERT_TRUE(makeCertificate(cert, certKey));
    DevServerProcess server({"--cert", cert, "--cert-key", certKey, "--demo-key", kKey});
    ASSERT_TRUE(server.url().startsWith(QStringLiteral("https://127.0.0.1:")));
    HeadlessProcess client(server.url());
    client.captureStandardError();
    client.start(kKey);
    EXPECT_EQ(client.waitForExit(90s), 1);
    EXPECT_TRUE(client.standardError().contains("sign-in with CORVANTA_KEY failed"))
        << client.standardError().toStdString();
    EXPECT_TRUE(server.requests().empty());
    EXPECT_TRUE(client.lines().isEmpty());
}

}  // namespace
}  // namespace corvanta::testing

#include "security_test.moc"
