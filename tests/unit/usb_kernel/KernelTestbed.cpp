#include "KernelTestbed.h"

#include <fstream>
#include <stdexcept>
#include <unistd.h>

namespace zopra::test {

namespace fs = std::filesystem;

namespace {

// A GError as an exception, so that a testbed that cannot be made fails the test loudly.
void ThrowIf(GError* error, const std::string& what) {
    if (error == nullptr)
        return;
    const std::string message = what + ": " + error->message;
    g_error_free(error);
    throw std::runtime_error(message);
}

gboolean CarryOut(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer) {
    int error = 0;
    const int result = umockdev_ioctl_client_execute(client, &error, nullptr);
    umockdev_ioctl_client_complete(client, result, result < 0 ? error : 0);
    return TRUE;
}

} // namespace

bool PreloadActive() {
    std::ifstream maps("/proc/self/maps");
    for (std::string line; std::getline(maps, line);)
        if (line.find("libumockdev-preload") != std::string::npos)
            return true;
    return false;
}

KernelTestbed::KernelTestbed() : FTestbed(umockdev_testbed_new()) {
    gchar* root = umockdev_testbed_get_root_dir(FTestbed.get());
    FRoot = root;
    g_free(root);
}

// The testbed removes its folder and UMOCKDEV_DIR when it goes.
KernelTestbed::~KernelTestbed() = default;

void KernelTestbed::Add(const std::string& record) {
    GError* error = nullptr;
    umockdev_testbed_add_from_string(FTestbed.get(), record.c_str(), &error);
    ThrowIf(error, "umockdev could not add the devices");
}

void KernelTestbed::Remove(const std::string& sysPath) {
    umockdev_testbed_remove_device(FTestbed.get(), sysPath.c_str());
}

void KernelTestbed::BackNode(const std::string& node, const fs::path& target) {
    const fs::path file = NodeFile(node);
    fs::create_directories(file.parent_path());
    fs::remove(file);
    fs::create_symlink(target, file);
}

fs::path KernelTestbed::NodeFile(const std::string& node) const {
    return FRoot / "dev" / node;
}

void KernelTestbed::AttachIoctl(const std::string& node, UMockdevIoctlBase* handler) {
    GError* error = nullptr;
    umockdev_testbed_attach_ioctl(FTestbed.get(), ("/dev/" + node).c_str(), handler, &error);
    ThrowIf(error, "umockdev could not take the ioctls of /dev/" + node);
}

void KernelTestbed::PassIoctlsThrough(const std::string& node) {
    std::unique_ptr<UMockdevIoctlBase, GObjectUnref> handler(umockdev_ioctl_base_new());
    g_signal_connect(handler.get(), "handle-ioctl", G_CALLBACK(&CarryOut), nullptr);
    AttachIoctl(node, handler.get());
    FPassThrough.push_back(std::move(handler));
}

} // namespace zopra::test
