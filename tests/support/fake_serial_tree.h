#pragma once
// A fake sysfs tty class and /dev for the port discovery: class entries that
// link to their devices as the kernel's do, USB adapters with the product and
// serial number they report, on-board UARTs with the type their driver found.
// A device node is a link to a real device (a pty) when the test opens it,
// else an empty file.

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "port_discovery.h"

namespace cofralin::testing {

class FakeSerialTree {
public:
    FakeSerialTree() {
        char pattern[] = "/tmp/cofralin-ttys-XXXXXX";
        if (const char* made = ::mkdtemp(pattern)) root_ = made;
        // Readable by the unprivileged children some tests fork.
        std::filesystem::permissions(root_, std::filesystem::perms(0755));
        for (const char* folder : {"sys/class/tty", "sys/devices", "dev", "lock"}) {
            std::filesystem::create_directories(root_ / folder);
        }
    }
    ~FakeSerialTree() {
        std::error_code ignored;
        std::filesystem::remove_all(root_, ignored);
    }
    FakeSerialTree(const FakeSerialTree&) = delete;
    FakeSerialTree& operator=(const FakeSerialTree&) = delete;

    SystemPaths paths() const { return {root_ / "sys/class/tty", root_ / "dev", root_ / "lock"}; }
    std::string node(const std::string& name) const { return (root_ / "dev" / name).string(); }

    // An adapter on USB port `usbPort` ("1-2", "1-1.4"); ttyUSB* hang one level
    // below the interface, ttyACM* from the interface itself.
    void addUsb(const std::string& name, const std::string& usbPort, const std::string& product,
                const std::string& serial, const std::string& target = {}) {
        const auto usb = root_ / "sys/devices/pci0000:00/0000:00:14.0/usb1" / usbPort;
        std::filesystem::create_directories(usb);
        write(usb / "idVendor", "0403");
        if (!product.empty()) write(usb / "product", product);
        if (!serial.empty()) write(usb / "serial", serial);
        auto device = usb / (usbPort + ":1.0");
        if (name.rfind("ttyUSB", 0) == 0) device /= name;
        addClassEntry(name, device);
        addNode(name, target);
    }
    // An on-board UART; type 0 is a node with no UART behind it.
    void addUart(const std::string& name, int type, const std::string& target = {}) {
        const auto device = root_ / "sys/devices/pnp0" / ("00:0" + name.substr(4));
        const auto entry = addClassEntry(name, device);
        write(entry / "type", std::to_string(type));
        addNode(name, target);
    }
    // A console or terminal: no device behind it.
    void addVirtual(const std::string& name) {
        const auto entry = root_ / "sys/devices/virtual/tty" / name;
        std::filesystem::create_directories(entry);
        std::filesystem::create_directory_symlink(entry, root_ / "sys/class/tty" / name);
        addNode(name, {});
    }

private:
    static void write(const std::filesystem::path& file, const std::string& text) {
        std::ofstream(file) << text << '\n';
    }
    std::filesystem::path addClassEntry(const std::string& name,
                                        const std::filesystem::path& device) {
        const auto entry = device / "tty" / name;
        std::filesystem::create_directories(entry);
        std::filesystem::create_directory_symlink(device, entry / "device");
        std::filesystem::create_directory_symlink(entry, root_ / "sys/class/tty" / name);
        return entry;
    }
    void addNode(const std::string& name, const std::string& target) {
        const auto node = root_ / "dev" / name;
        if (target.empty()) {
            write(node, "");
        } else {
            std::filesystem::create_symlink(target, node);
        }
    }

    std::filesystem::path root_;
};

}  // namespace cofralin::testing
