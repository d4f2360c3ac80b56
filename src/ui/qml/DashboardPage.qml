import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Corvanta.Ui

// The first module page: greeting and announcement banner, scarcity gauge, contribution chart
// and model ranking; or, reached from the banner, the announcement list and detail pages.
Item {
    id: page
    objectName: "dashboardPage"
    // True only while the page is shown; animations and the data load follow it.
    property bool isActive: false

    onIsActiveChanged: dashboard.isActive = isActive
    Component.onCompleted: dashboard.isActive = isActive
    Component.onDestruction: dashboard.isActive = false

    Flickable {
        id: main
        objectName: "dashboardMain"
        anchors.fill: parent
        visible: dashboard.route === DashboardRoute.Dashboard
        contentWidth: width
        contentHeight: content.implicitHeight
        clip: true
        boundsBehavior: Flickable.StopAtBounds
        ScrollBar.vertical: ScrollBar {}

        ColumnLayout {
            id: content
            width: main.width
            spacing: layout.s(12)

            AnnouncementBanner {
                Layout.fillWidth: true
            }

            RowLayout {
                Layout.fillWidth: true
                Layout.preferredHeight: layout.s(320)
                spacing: layout.s(12)

                ScarcityGauge {
                    Layout.preferredWidth: layout.s(560)
                    Layout.fillHeight: true
                }
                ContributionChart {
                    Layout.fillWidth: true
                    Layout.fillHeight: true
                }
            }

            ModelRankingTable {
                Layout.fillWidth: true
            }
        }
    }

    Loader {
        anchors.fill: parent
        active: dashboard.route === DashboardRoute.AnnouncementList
        sourceComponent: AnnouncementListPage {}
    }

    Loader {
        anchors.fill: parent
        active: dashboard.route === DashboardRoute.AnnouncementDetail
        sourceComponent: AnnouncementDetailPage {}
    }
}
