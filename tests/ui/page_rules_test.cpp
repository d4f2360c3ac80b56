// The window's rules that need the rendering engine: where the window opens on a desktop of two
// screens, how Qt's rich-text engine takes the content pages' style sheet, reading and copying
// long run-log lines, and the light or dark appearance following the desktop while it runs.
// main() gives this executable a 1920 × 1080 screen and a 2560 × 1440 one to its right.
#include <gtest/gtest.h>

#include <QAbstractItemModel>
#include <QClipboard>
#include <QDBusConnection>
#include <QDBusError>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QGuiApplication>
#include <QQmlComponent>
#include <QQmlContext>
#include <QQuickItem>
#include <QQuickWindow>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextList>

#include <memory>

#include "app/app_dependency.h"
#include "app/window_services.h"
#include "log/log_buffer_service.h"
#include "support/coro_test_util.h"
#include "support/private_session_bus.h"
#include "ui/app_shell_view_model.h"
#include "ui/desktop_application.h"
#include "ui/language_migration.h"
#include "ui/page_content_view_model.h"
#include "ui/run_log_view_model.h"

namespace corvanta::ui {
namespace {

using namespace std::chrono_literals;
using testing::processEventsFor;
using testing::processEventsUntil;

void collectNamed(QQuickItem* root, const QString& name, QList<QQuickItem*>& found) {
    if (root == nullptr) {
        return;
    }
    if (root->objectName() == name) {
        found.append(root);
    }
    for (QQuickItem* child : root->childItems()) {
        collectNamed(child, name, found);
    }
}

// The window over a root of its own. Nothing of these tests needs a backend: the client stays
// signed out.
class TestWindow {
public:
    TestWindow() {
        qputenv("CORVANTA_API_BASE_URL", "http://127.0.0.1:9");
        migrateLanguageToEnglish(deps.settings());
    }
    ~TestWindow() {
        if (desktop) {
            desktop->shutdown();
            processEventsFor(200ms);
        }
    }

    bool open() {
        desktop = std::make_unique<DesktopApplication>(app::windowServices(deps));
        if (!desktop->load()) {
            return false;
        }
        return processEventsUntil([&] { return desktop->window()->isVisible(); }, 10s);
    }

    app::AppDependency deps;
    std::unique_ptr<DesktopApplication> desktop;
};

TEST(WindowRules, TheWindowCentresOnItsOwnScreen) {
    TestWindow test;
    ASSERT_TRUE(test.open());
    QQuickWindow* window = test.desktop->window();
    ASSERT_EQ(QGuiApplication::screens().size(), 2);
    QScreen* first = nullptr;
    QScreen* second = nullptr;
    for (QScreen* screen : QGuiApplication::screens()) {
        (screen->name() == QStringLiteral("second") ? second : first) = screen;
    }
    ASSERT_TRUE(first && second);
    ASSERT_EQ(second->availableGeometry(), QRect(1920, 0, 2560, 1440));

    // On each screen in turn, the signed-out window sits in the middle of that screen, not of
    // the desktop the two screens make together.
    for (QScreen* screen : {second, first, second}) {
        window->setScreen(screen);
        ASSERT_TRUE(QMetaObject::invokeMethod(window, "fitContent"));
        processEventsFor(100ms);
        const QRect area = screen->availableGeometry();
        const QRect frame = window->frameGeometry();
        EXPECT_EQ(window->size(), QSize(520, 420));
        EXPECT_TRUE(area.contains(frame)) << screen->name().toStdString();
        EXPECT_LE(std::abs(frame.center().x() - area.center().x()), 1)
            << screen->name().toStdString() << " x " << frame.x();
        EXPECT_LE(std::abs(frame.center().y() - area.center().y()), 1)
            << screen->name().toStdString() << " y " << frame.y();
    }
}

// The formats Qt's rich-text engine makes of the content page's document: the style sheet is
// one the engine takes whole, and what it asks for is what comes out.
TEST(ContentPage, TheStyleSheetSurvivesTheRichTextParser) {
    const QString content = QStringLiteral(
        "<h1>Terms</h1><p>Read <a href=\"https://example.org/\">this</a>.</p><h2>Scope</h2>"
        "<h3>Detail</h3><ul><li>one<ul><li>inner</li></ul></li></ul><ol><li>first</li></ol>");
    for (const bool dark : {false, true}) {
        const QString html = PageContentViewModel::document(content, dark);
        EXPECT_FALSE(html.contains(QStringLiteral("@media")));
        QTextDocument document;
        document.setHtml(html);

        struct Expected {
            const char* text;
            int pixelSize;
            bool bold;
            qreal top;
            qreal bottom;
        };
        const Expected expected[] = {{"Terms", 24, true, 0, 18},
                                     {"Read this.", 15, false, 10, 10},
                                     {"Scope", 20, true, 22, 10},
                                     {"Detail", 17, true, 18, 8}};
        QTextBlock block = document.begin();
        for (const Expected& e : expected) {
            ASSERT_TRUE(block.isValid()) << e.text;
            EXPECT_EQ(block.text(), QString::fromUtf8(e.text));
            const QTextCharFormat chars = block.begin().fragment().charFormat();
            // A size step of the engine's own would outweigh the pixel size.
            EXPECT_FALSE(chars.hasProperty(QTextFormat::FontSizeAdjustment)) << e.text;
            EXPECT_EQ(chars.font().pixelSize(), e.pixelSize) << e.text;
            EXPECT_EQ(chars.font().bold(), e.bold) << e.text;
            EXPECT_EQ(block.blockFormat().topMargin(), e.top) << e.text;
            EXPECT_EQ(block.blockFormat().bottomMargin(), e.bottom) << e.text;
            EXPECT_EQ(block.blockFormat().lineHeight(), 175) << e.text;
            EXPECT_EQ(chars.foreground().color(), QColor(dark ? "#E5E5EA" : "#1D1D1F")) << e.text;
            block = block.next();
        }

        // The link: the theme's colour, not underlined.
        const QTextBlock paragraph = document.begin().next();
        bool sawLink = false;
        for (auto it = paragraph.begin(); !it.atEnd(); ++it) {
            const QTextCharFormat chars = it.fragment().charFormat();
            if (chars.isAnchor()) {
                sawLink = true;
                EXPECT_EQ(it.fragment().text(), QStringLiteral("this"));
                EXPECT_EQ(chars.foreground().color(), QColor(dark ? "#64B5F6" : "#3B82F6"));
                EXPECT_FALSE(chars.fontUnderline());
            }
        }
        EXPECT_TRUE(sawLink);

        // Lists: 24 pixels in per level, the bullets in that margin.
        for (; block.isValid(); block = block.next()) {
            ASSERT_NE(block.textList(), nullptr) << block.text().toStdString();
            const qreal expectedMargin = block.text() == QStringLiteral("inner") ? 48 : 24;
            EXPECT_EQ(block.blockFormat().leftMargin(), expectedMargin)
                << block.text().toStdString();
            EXPECT_EQ(block.textList()->format().indent(), 0) << block.text().toStdString();
        }
    }
}

TEST(RunLogPage, LongLinesReadWholeAndSelectedLinesCopy) {
    TestWindow test;
    ASSERT_TRUE(test.open());
    DesktopApplication* desktop = test.desktop.get();
    QQuickWindow* window = desktop->window();
    auto& logs = test.deps.logBuffer();

    // The page over the window, as the main view shows it.
    QQmlComponent component(&desktop->engine(),
                            QUrl(QStringLiteral("qrc:/Corvanta/Ui/qml/RunLogPage.qml")));
    std::unique_ptr<QObject> object(component.create(desktop->engine().rootContext()));
    ASSERT_TRUE(object) << component.errorString().toStdString();
    auto* page = qobject_cast<QQuickItem*>(object.get());
    ASSERT_NE(page, nullptr);
    window->resize(1000, 600);
    page->setParentItem(window->contentItem());
    page->setZ(1000);
    page->setSize(QSizeF(900, 500));
    page->setProperty("isActive", true);

    const QString longLine = QStringLiteral("a line far wider than the page ") +
                             QStringLiteral("0123456789abcdef").repeated(30) +
                             QStringLiteral(" its end is here");
    for (const QString& message :
         {QStringLiteral("first marked line"), longLine, QStringLiteral("third marked line"),
          QStringLiteral("fourth marked line")}) {
        logs.append(QStringLiteral("?"), QStringLiteral("TEST"), message);
    }
    auto* lines = qobject_cast<QAbstractItemModel*>(desktop->runLog().lines());
    ASSERT_NE(lines, nullptr);
    const auto rowOf = [&](const QString& text) {
        for (int row = 0; row < lines->rowCount(); ++row) {
            if (lines->index(row, 0).data().toString().contains(text)) {
                return row;
            }
        }
        return -1;
    };
    ASSERT_TRUE(processEventsUntil([&] { return rowOf(QStringLiteral("fourth marked")) >= 0; }));
    const int first = rowOf(QStringLiteral("first marked"));

    // The long line wraps: nothing of it is cut off, and it stays within the page.
    QQuickItem* longText = nullptr;
    ASSERT_TRUE(processEventsUntil([&] {
        QList<QQuickItem*> texts;
        collectNamed(page, QStringLiteral("runLogLine"), texts);
        for (QQuickItem* text : texts) {
            if (text->property("text").toString().contains(QStringLiteral("its end is here"))) {
                longText = text;
            }
        }
        return longText != nullptr;
    }));
    processEventsFor(100ms);
    EXPECT_FALSE(longText->property("truncated").toBool());
    EXPECT_GT(longText->property("lineCount").toInt(), 1);
    EXPECT_LE(longText->width(), page->width());

    // A click selects a line, a shift-click the lines up to another; Ctrl+C copies them.
    const auto rowItem = [&](int row) -> QQuickItem* {
        QList<QQuickItem*> texts;
        collectNamed(page, QStringLiteral("runLogLine"), texts);
        const QString text = lines->index(row, 0).data().toString();
        for (QQuickItem* item : texts) {
            if (item->property("text").toString() == text && item->isVisible()) {
                return item;
            }
        }
        return nullptr;
    };
    const auto centre = [](QQuickItem* item) {
        return item->mapToScene(QPointF(item->width() / 2, item->height() / 2)).toPoint();
    };
    QQuickItem* firstItem = rowItem(first);
    QQuickItem* thirdItem = rowItem(first + 2);
    ASSERT_NE(firstItem, nullptr);
    ASSERT_NE(thirdItem, nullptr);
    QGuiApplication::clipboard()->clear();
    QTest::mouseClick(window, Qt::LeftButton, Qt::NoModifier, centre(firstItem));
    QTest::mouseClick(window, Qt::LeftButton, Qt::ShiftModifier, centre(thirdItem));
    processEventsFor(50ms);
    QTest::keyClick(window, Qt::Key_C, Qt::ControlModifier);
    processEventsFor(50ms);
    const QString expected = lines->index(first, 0).data().toString() + QLatin1Char('\n') +
                             lines->index(first + 1, 0).data().toString() + QLatin1Char('\n') +
                             lines->index(first + 2, 0).data().toString();
    EXPECT_EQ(QGuiApplication::clipboard()->text().toStdString(), expected.toStdString());

    // Ctrl+A takes every line.
    QTest::keyClick(window, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(window, Qt::Key_C, Qt::ControlModifier);
    processEventsFor(50ms);
    EXPECT_EQ(QGuiApplication::clipboard()->text().count(QLatin1Char('\n')), lines->rowCount() - 1);

    object.reset();
}

// org.freedesktop.portal.Settings as far as the appearance goes.
class FakePortal : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.Settings")

public:
    uint colorScheme = 1;  // prefer dark

public slots:
    // Portals before version 2 answer the value wrapped in one variant more.
    QDBusVariant Read(const QString& group, const QString& key) {
        ++reads;
        if (group != QStringLiteral("org.freedesktop.appearance") ||
            key != QStringLiteral("color-scheme")) {
            return QDBusVariant(QVariant::fromValue(QDBusVariant(QString())));
        }
        return QDBusVariant(QVariant::fromValue(QDBusVariant(colorScheme)));
    }

public:
    int reads = 0;
};

// What the portal sends when a setting of the desktop changes.
void announce(QDBusConnection& bus, const QString& key, uint value) {
    QDBusMessage signal = QDBusMessage::createSignal(
        QStringLiteral("/org/freedesktop/portal/desktop"),
        QStringLiteral("org.freedesktop.portal.Settings"), QStringLiteral("SettingChanged"));
    signal << QStringLiteral("org.freedesktop.appearance") << key
           << QVariant::fromValue(QDBusVariant(value));
    ASSERT_TRUE(bus.send(signal));
}

TEST(Appearance, TheWindowFollowsTheDesktopsLightAndDarkSwitchWhileItRuns) {
    QTemporaryDir directory;
    testing::PrivateSessionBus bus(directory.path() + QStringLiteral("/bus"));
    FakePortal portal;
    QDBusConnection server = QDBusConnection::connectToBus(bus.address(), QStringLiteral("portal"));
    ASSERT_TRUE(server.isConnected()) << server.lastError().message().toStdString();
    ASSERT_TRUE(
        server.registerObject(QStringLiteral("/org/freedesktop/portal/desktop"), &portal,
                              QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllSignals));
    ASSERT_TRUE(server.registerService(QStringLiteral("org.freedesktop.portal.Desktop")));

    // The window's own connection is the session bus: this one. A process connects to its
    // session bus once, so this test needs a process of its own, as CTest runs every test here.
    qputenv("DBUS_SESSION_BUS_ADDRESS", bus.address().toUtf8());
    TestWindow test;
    test.deps.settings().setValue(QStringLiteral("app_theme"), QStringLiteral("theme_system"));
    ASSERT_TRUE(test.open());
    QQuickWindow* window = test.desktop->window();
    AppShellViewModel& shell = test.desktop->shell();

    // The portal's answer at start: dark.
    ASSERT_TRUE(processEventsUntil([&] { return shell.isDark(); }, 10s));
    EXPECT_EQ(portal.reads, 1);
    processEventsFor(50ms);
    EXPECT_EQ(window->color(), QColor("#16181D"));

    // The desktop switches to light, and back; another setting changes nothing.
    portal.colorScheme = 2;
    announce(server, QStringLiteral("color-scheme"), 2);
    ASSERT_TRUE(processEventsUntil([&] { return !shell.isDark(); }, 10s));
    processEventsFor(50ms);
    EXPECT_EQ(window->color(), QColor("#F3F5F9"));
    announce(server, QStringLiteral("accent-color"), 1);
    announce(server, QStringLiteral("color-scheme"), 1);
    ASSERT_TRUE(processEventsUntil([&] { return shell.isDark(); }, 10s));
    processEventsFor(50ms);
    EXPECT_EQ(window->color(), QColor("#16181D"));

    // "No preference" keeps what the window shows.
    announce(server, QStringLiteral("color-scheme"), 0);
    processEventsFor(200ms);
    EXPECT_TRUE(shell.isDark());
}

}  // namespace
}  // namespace corvanta::ui

#include "page_rules_test.moc"
