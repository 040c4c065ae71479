#pragma once

#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace testsupport {

// While it lives, file permissions bind the calling thread, and every thread
// it starts meanwhile, even when the tests run as root: the capabilities
// that let root read and write past a file's mode bits are taken out of the
// thread's effective set, and given back at the end. Without them a folder
// of mode 0555 is read-only and a file of mode 0000 unreadable, as for any
// user. Capabilities belong to a thread, so threads started before are not
// affected.
class FilePermissionsApply {
public:
    FilePermissionsApply()
    {
        m_saved = get();
        m_valid = m_saved.ok;
        if (!m_valid)
            return;
        Caps dropped = m_saved;
        for (const int cap : {CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH, CAP_FOWNER})
            dropped.data[cap / 32].effective &= ~(1u << (cap % 32));
        set(dropped);
    }
    ~FilePermissionsApply()
    {
        if (m_valid)
            set(m_saved);
    }
    FilePermissionsApply(const FilePermissionsApply&) = delete;
    FilePermissionsApply& operator=(const FilePermissionsApply&) = delete;

private:
    struct Caps {
        __user_cap_data_struct data[2]{};
        bool ok = false;
    };

    static Caps get()
    {
        Caps caps;
        __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
        caps.ok = syscall(SYS_capget, &header, caps.data) == 0;
        return caps;
    }
    static void set(Caps& caps)
    {
        __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
        syscall(SYS_capset, &header, caps.data);
    }

    Caps m_saved;
    bool m_valid = false;
};

} // namespace testsupport
