#pragma once
// The kernel's view of USB devices, emulated by umockdev: a testbed folder that holds a
// sysfs tree and /dev nodes, which umockdev's preload library puts in place of /sys and
// /dev for this process, and the usbfs ioctls of a node answered by a handler of the test.
// The program's Linux code runs unchanged against it.
//
// This suite's main() starts the test program once more under the preload library (it must
// be loaded before anything else) and, when started as root, gives up root, so that a node
// of mode 0000 and a terminal in exclusive mode refuse this process as they refuse a user.
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <umockdev.h>

namespace zopra::test {

// True when umockdev's preload library is loaded in this process: without it the testbed
// would be a folder that nothing reads.
bool PreloadActive();

struct GObjectUnref {
    void operator()(gpointer object) const { g_object_unref(object); }
};

class KernelTestbed {
public:
    KernelTestbed();
    ~KernelTestbed();
    KernelTestbed(const KernelTestbed&) = delete;
    KernelTestbed& operator=(const KernelTestbed&) = delete;

    // Adds devices from umockdev's record text ("P: /devices/...", "E:", "A:", "H:", "L:",
    // "N:"), parents first. A node ("N:") becomes a file, a pty for character devices.
    void Add(const std::string& record);
    // The device gone from sysfs and /dev, as after unplugging.
    void Remove(const std::string& sysPath);

    // Points the emulated node /dev/<node> at `target` (a virtual cutter's pty): umockdev
    // backs a character node by a pty of its own, this one by the cutter's.
    void BackNode(const std::string& node, const std::filesystem::path& target);
    // The file that stands for /dev/<node>, to change its mode.
    std::filesystem::path NodeFile(const std::string& node) const;

    // Hands the ioctls of /dev/<node> (usbfs) to `handler`; before the device is added, so
    // that no open comes first.
    void AttachIoctl(const std::string& node, UMockdevIoctlBase* handler);
    // The terminal ioctls of /dev/<node> (line settings, queue counts, modem lines) carried
    // out on what backs the node, as the tty driver would: without it umockdev answers
    // them itself and a serial port never sees its input.
    void PassIoctlsThrough(const std::string& node);

private:
    std::unique_ptr<UMockdevTestbed, GObjectUnref> FTestbed;
    std::filesystem::path FRoot;
    std::vector<std::unique_ptr<UMockdevIoctlBase, GObjectUnref>> FPassThrough;
};

} // namespace zopra::test
