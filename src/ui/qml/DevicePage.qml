import QtQuick
import QtQuick.Controls
import QtQuick.Layouts

// The machine description, refreshed every second while the page is shown.
ScrollView {
    id: page
    objectName: "devicePage"
    clip: true
    contentWidth: availableWidth
    readonly property var info: deviceInfo.deviceInfo

    Component.onCompleted: deviceInfo.startAutoRefresh()
    Component.onDestruction: deviceInfo.stopAutoRefresh()

    GridLayout {
        width: page.availableWidth
        columns: 2
        columnSpacing: layout.s(20)
        rowSpacing: layout.s(20)

        InfoCard {
            objectName: "productCard"
            Layout.fillWidth: true
            Layout.rowSpan: 2
            Layout.alignment: Qt.AlignTop
            title: shell.text("device_card_product")
            rows: [["device_field_product_name", page.info.productName],
                   ["device_field_manufacturer", page.info.manufacturer],
                   ["device_field_model", page.info.model],
                   ["device_field_serial", page.info.serial],
                   ["device_field_uuid", page.info.uuid],
                   ["device_field_os", page.info.os],
                   ["device_field_arch", page.info.arch],
                   ["device_field_kernel", page.info.kernel]]
        }
        InfoCard {
            objectName: "processorCard"
            Layout.fillWidth: true
            Layout.alignment: Qt.AlignTop
            title: shell.text("device_card_processor")
            rows: [["device_field_cpu_brand", page.info.cpuBrand],
                   ["device_field_cpu_manufacturer", page.info.cpuManufacturer],
                   ["device_field_cpu_model", page.info.cpuModel],
                   ["device_field_cpu_cores", page.info.cpuCores],
                   ["device_field_cpu_speed", page.info.cpuSpeed],
                   ["device_field_cpu_speed_max", page.info.cpuSpeedMax]]
        }
        InfoCard {
            objectName: "memoryCard"
            Layout.fillWidth: true
            Layout.alignment: Qt.AlignTop
            title: shell.text("device_card_memory")
            rows: [["device_field_memory_total", page.info.memoryTotal],
                   ["device_field_memory_used", page.info.memoryUsed],
                   ["device_field_memory_free", page.info.memoryFree]]
        }
        InfoCard {
            objectName: "graphicsCard"
            Layout.fillWidth: true
            Layout.alignment: Qt.AlignTop
            title: shell.text("device_card_graphics")
            rows: [["device_field_gpu_name", page.info.gpuName],
                   ["device_field_gpu_vendor", page.info.gpuVendor],
                   ["device_field_gpu_model", page.info.gpuModel],
                   ["device_field_gpu_vram", page.info.gpuVram],
                   ["device_field_gpu_driver", page.info.gpuDriver]]
        }
        InfoCard {
            objectName: "diskCard"
            Layout.fillWidth: true
            Layout.alignment: Qt.AlignTop
            title: shell.text("device_card_disk")
            rows: [["device_field_disk_name", page.info.diskName],
                   ["device_field_disk_type", page.info.diskType],
                   ["device_field_disk_size", page.info.diskSize],
                   ["device_field_disk_interface", page.info.diskInterface],
                   ["device_field_disk_vendor", page.info.diskVendor]]
        }
    }
}
