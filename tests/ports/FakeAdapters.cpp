#include "tests/ports/FakeAdapters.h"

#include <umockdev.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <vector>

namespace ports_test {

namespace {

// umockdev 0.17 answers the termios calls on a faked tty with ENOTTY; this
// handler makes each call on the descriptor the program really holds (the
// pseudo-terminal the node leads to).
gboolean RunOnTheRealTerminal(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer) {
    gint err = 0;
    GError* error = nullptr;
    const gint result = umockdev_ioctl_client_execute(client, &err, &error);
    if (error) g_error_free(error);
    umockdev_ioctl_client_complete(client, result, err);
    return TRUE;
}

// umockdev serves the terminal calls of each faked device on a socket below
// its folder, and a socket's path has at most 107 bytes: a folder under the
// build tree (TMPDIR) may be too deep for a by-id name. The testbeds go into
// a short folder of this program under /tmp, removed when it exits.
class CShortFolder {
public:
    CShortFolder() {
        char path[] = "/tmp/pravik-udev-XXXXXX";
        if (::mkdtemp(path)) m_strPath = path;
    }
    ~CShortFolder() {
        std::error_code ignored;
        if (!m_strPath.empty()) std::filesystem::remove_all(m_strPath, ignored);
    }
    std::string m_strPath;
};

const std::string& TestbedParent() {
    static CShortFolder folder;
    return folder.m_strPath;
}

std::string Underscored(std::string text) {
    std::replace(text.begin(), text.end(), ' ', '_');
    return text;
}

}  // namespace

CFakeAdapters::CFakeAdapters() {
    const std::string& parent = TestbedParent();
    if (parent.empty()) {
        m_strProblem = "cannot make a folder for umockdev under /tmp";
        return;
    }
    // GLib takes its temporary folder from TMPDIR once, at the first testbed.
    const char* tmp = std::getenv("TMPDIR");
    const std::string savedTmp = tmp ? tmp : "";
    ::setenv("TMPDIR", parent.c_str(), 1);
    m_pTestbed = umockdev_testbed_new();
    if (tmp) {
        ::setenv("TMPDIR", savedTmp.c_str(), 1);
    } else {
        ::unsetenv("TMPDIR");
    }
    if (!m_pTestbed) {
        m_strProblem = "umockdev could not make its testbed";
        return;
    }
    // Asked once the testbed exists (it sets UMOCKDEV_DIR).
    if (!umockdev_in_mock_environment()) {
        m_strProblem =
            "umockdev's preload library is not active: run this test program under umockdev-wrapper "
            "(ctest does so); without it the faked serial adapters cannot be seen";
        g_object_unref(m_pTestbed);
        m_pTestbed = nullptr;
        return;
    }
    m_pIoctl = umockdev_ioctl_base_new();
    g_signal_connect(m_pIoctl, "handle-ioctl", G_CALLBACK(RunOnTheRealTerminal), nullptr);
}

CFakeAdapters::~CFakeAdapters() {
    // The testbed removes its folder only when released.
    if (m_pTestbed) g_object_unref(m_pTestbed);
    if (m_pIoctl) g_object_unref(m_pIoctl);
}

std::string CFakeAdapters::Root() const {
    if (!m_pTestbed) return {};
    gchar* root = umockdev_testbed_get_root_dir(m_pTestbed);
    std::string path = root ? root : "";
    g_free(root);
    return path;
}

void CFakeAdapters::RemovePath(const std::string& path) {
    std::error_code ignored;
    std::filesystem::remove(path, ignored);
}

bool CFakeAdapters::AddTty(const std::string& description, const std::string& kernelName,
                           const std::string& ttyPath, const std::string& byIdName) {
    if (!m_pTestbed) return false;
    GError* error = nullptr;
    if (!umockdev_testbed_add_from_string(m_pTestbed, description.c_str(), &error)) {
        m_strProblem = std::string("umockdev refused a device: ") + (error ? error->message : "?");
        if (error) g_error_free(error);
        return false;
    }
    if (ttyPath.empty()) return true;
    // The node leads to the real terminal instead of umockdev's own.
    const std::string node = Root() + "/dev/" + kernelName;
    RemovePath(node);
    if (::symlink(ttyPath.c_str(), node.c_str()) != 0) return false;
    std::vector<std::string> names{"/dev/" + kernelName};
    if (!byIdName.empty()) {
        const std::string link = Root() + "/dev/serial/by-id/" + byIdName;
        if (!std::filesystem::is_symlink(link)) {
            std::filesystem::create_directories(Root() + "/dev/serial/by-id");
            if (::symlink(node.c_str(), link.c_str()) != 0) return false;
        }
        names.push_back("/dev/serial/by-id/" + byIdName);
    }
    for (const std::string& name : names) {
        if (Root().size() + std::strlen("/ioctl") + name.size() >= 108) {
            m_strProblem = "the path of umockdev's socket for " + name + " is too long";
            return false;
        }
        if (!umockdev_testbed_attach_ioctl(m_pTestbed, name.c_str(), m_pIoctl, &error)) {
            m_strProblem = std::string("umockdev cannot handle the terminal calls: ") + (error ? error->message : "?");
            if (error) g_error_free(error);
            return false;
        }
    }
    return true;
}

bool CFakeAdapters::Plug(const SFakeAdapter& a) {
    if (!m_pTestbed) return false;
    const std::string usb = "/devices/pci0000:00/0000:00:14.0/usb1/1-" + std::to_string(m_nNextUsb++);
    const std::string iface = usb + "/" + usb.substr(usb.rfind('/') + 1) + ":1.0";
    const std::string tty = iface + "/" + a.kernelName + "/tty/" + a.kernelName;
    const std::string byId = "/dev/serial/by-id/" + a.byIdName;
    std::string text = "P: " + usb + "\nE: SUBSYSTEM=usb\nE: DEVTYPE=usb_device\nA: idVendor=f055\nA: idProduct=9800\n";
    if (!a.propertiesOnly) {
        text += "A: manufacturer=" + a.maker + "\nA: product=" + a.product + "\nA: serial=" + a.serial + "\n";
    }
    text += "\nP: " + iface + "\nE: SUBSYSTEM=usb\nE: DEVTYPE=usb_interface\n";
    text += "\nP: " + tty + "\nN: " + a.kernelName + "\nS: serial/by-id/" + a.byIdName +
            "\nE: SUBSYSTEM=tty\nE: DEVNAME=/dev/" + a.kernelName + "\nE: DEVLINKS=" + byId +
            "\nE: ID_BUS=usb\nE: ID_SERIAL=" + Underscored(a.maker + "_" + a.product + "_" + a.serial) +
            "\nE: ID_SERIAL_SHORT=" + a.serial + "\nE: ID_USB_DRIVER=" + a.driver +
            "\nA: dev=188:" + std::to_string(m_nNextMinor++) + "\n";
    if (a.propertiesOnly) {
        text += "E: ID_VENDOR=f055\nE: ID_MODEL=9800\nE: ID_VENDOR_FROM_DATABASE=" + a.maker +
                "\nE: ID_MODEL_FROM_DATABASE=" + a.product + "\n";
    } else {
        text += "E: ID_VENDOR=" + Underscored(a.maker) + "\nE: ID_MODEL=" + Underscored(a.product) + "\n";
    }
    if (!AddTty(text, a.kernelName, a.ttyPath, a.byIdName)) return false;
    m_Plugged[a.kernelName] = {"/sys" + tty, "/sys" + usb, byId};
    return true;
}

bool CFakeAdapters::Unplug(const std::string& kernelName) {
    auto it = m_Plugged.find(kernelName);
    if (!m_pTestbed || it == m_Plugged.end()) return false;
    const SPlugged plugged = it->second;
    m_Plugged.erase(it);
    // The event goes out while udev still has the device, as the kernel's
    // does; umockdev's removal sends none of its own.
    umockdev_testbed_uevent(m_pTestbed, plugged.ttySysPath.c_str(), "remove");
    for (const std::string& name : {"/dev/" + kernelName, plugged.byIdPath}) {
        umockdev_testbed_detach_ioctl(m_pTestbed, name.c_str(), nullptr);
    }
    umockdev_testbed_remove_device(m_pTestbed, plugged.usbSysPath.c_str());
    // What the removal leaves behind in 0.17.
    const std::string root = Root();
    RemovePath(root + "/dev/" + kernelName);
    RemovePath(root + plugged.byIdPath);
    RemovePath(root + "/sys/class/tty/" + kernelName);
    return true;
}

bool CFakeAdapters::AddUart(const std::string& kernelName, const std::string& type, const std::string& ttyPath) {
    const std::string parent = type == "0" ? "/devices/platform/serial8250" : "/devices/pnp0/00:0" + std::to_string(m_nNextUsb++);
    const std::string text = "P: " + parent + "\nE: SUBSYSTEM=" + (type == "0" ? "platform" : "pnp") + "\n\nP: " + parent +
                             "/tty/" + kernelName + "\nN: " + kernelName + "\nE: SUBSYSTEM=tty\nE: DEVNAME=/dev/" +
                             kernelName + "\nA: type=" + type + "\nA: dev=4:" + std::to_string(64 + m_nNextMinor++) + "\n";
    return AddTty(text, kernelName, ttyPath, "");
}

bool CFakeAdapters::AddVirtualTerminal(const std::string& kernelName) {
    const std::string text = "P: /devices/virtual/tty/" + kernelName + "\nN: " + kernelName +
                             "\nE: SUBSYSTEM=tty\nE: DEVNAME=/dev/" + kernelName + "\nA: dev=4:" +
                             std::to_string(m_nNextMinor++) + "\n";
    return AddTty(text, kernelName, "", "");
}

}  // namespace ports_test
