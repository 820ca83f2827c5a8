#include "vcam_daemon.h"

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/signalfd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <system_error>

#include "diag/log.h"
#include "tavlin/tavlin_vcam.h"
#include "vcam/camera_registry.h"
#include "vcam/device_file.h"
#include "vcam/request_server.h"

namespace tavlin::vcamd {

namespace {

constexpr size_t kMaxDeviceConnections = 512;
constexpr size_t kMaxControlSessions = 32;
constexpr const char* kLockName = "/vcamd.lock";

std::string DevicePathOf(int index) {
    return std::string(vcam::protocol::kDevicePathStart) + vcam::DeviceNameOf(index);
}

}  // namespace

VcamDaemon::~VcamDaemon() {
    Stop();
}

bool VcamDaemon::Start(std::vector<InheritedSocket> inherited, std::string& error) {
    if (!TakeFolder(error) || !AdoptSockets(inherited, error)) return false;
    RemoveStaleSockets();
    if (!controlInherited_) {
        auto control = vcam::ListenUnixSocket(vcam::ControlSocketPath());
        if (!control) {
            error = "cannot listen on " + vcam::ControlSocketPath() + ": " + std::strerror(errno);
            return false;
        }
        control_ = std::move(*control);
    }
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    for (int s : {SIGTERM, SIGINT, SIGHUP}) sigaddset(&stopSignals, s);
    signals_.Reset(::signalfd(-1, &stopSignals, SFD_CLOEXEC | SFD_NONBLOCK));
    if (!signals_.Valid()) {
        error = std::string("cannot watch signals: ") + std::strerror(errno);
        return false;
    }
    if (!SyncListeners()) {
        error = "cannot serve every camera";
        TAVLIN_LOG(Daemon, Error, "%s", error.c_str());
        return false;
    }
    TAVLIN_LOG(Daemon, Info, "daemon %d serving %s", static_cast<int>(::getpid()), folder_.c_str());
    return true;
}

bool VcamDaemon::TakeFolder(std::string& error) {
    folder_ = vcam::DaemonSocketDir();
    if (::mkdir(folder_.c_str(), 0700) != 0 && errno != EEXIST) {
        error = "cannot create " + folder_ + ": " + std::strerror(errno);
        return false;
    }
    if (!vcam::PrivateFolder(folder_)) {
        error = folder_ + " is not a folder only this user can use";
        return false;
    }
    const std::string lockPath = folder_ + kLockName;
    lock_.Reset(::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600));
    if (!lock_.Valid()) {
        error = "cannot open " + lockPath + ": " + std::strerror(errno);
        return false;
    }
    // The lock dies with its holder, so a crashed daemon never blocks the next one.
    if (::flock(lock_.Get(), LOCK_EX | LOCK_NB) != 0) {
        error = errno == EWOULDBLOCK ? "another daemon is serving " + folder_
                                     : "cannot lock " + lockPath + ": " + std::strerror(errno);
        return false;
    }
    ownsFolder_ = true;
    return true;
}

bool VcamDaemon::AdoptSockets(std::vector<InheritedSocket>& inherited, std::string& error) {
    for (InheritedSocket& socket : inherited) {
        if (socket.path == vcam::ControlSocketPath() && !controlInherited_) {
            control_ = std::move(socket.fd);
            controlInherited_ = true;
            continue;
        }
        bool taken = false;
        for (int i = 0; i < vcam::protocol::kDeviceCount && !taken; ++i) {
            if (socket.path != vcam::DeviceSocketPath(vcam::DeviceNameOf(i)) ||
                listenerInherited_[i]) {
                continue;
            }
            listeners_[i] = std::move(socket.fd);
            listenerInherited_[i] = true;
            taken = true;
        }
        if (!taken) {
            error = "socket passed in at " + socket.path +
                    " is neither the control socket nor a camera socket of " + folder_;
            return false;
        }
    }
    return true;
}

// Holding the lock, any socket in the folder belongs to a daemon that is gone, except those the
// service manager passed in.
void VcamDaemon::RemoveStaleSockets() {
    std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(folder_.c_str()), &::closedir);
    if (!dir) return;
    while (const dirent* entry = ::readdir(dir.get())) {
        const std::string_view name = entry->d_name;
        if (!name.ends_with(".sock")) continue;
        const std::string path = folder_ + "/" + std::string(name);
        if (path == vcam::ControlSocketPath() && controlInherited_) continue;
        bool inherited = false;
        for (int i = 0; i < vcam::protocol::kDeviceCount; ++i) {
            inherited |=
                listenerInherited_[i] && path == vcam::DeviceSocketPath(vcam::DeviceNameOf(i));
        }
        if (inherited) continue;
        struct stat info {};
        if (::lstat(path.c_str(), &info) == 0 && S_ISSOCK(info.st_mode)) ::unlink(path.c_str());
    }
}

// Camera sockets exist exactly for the attached cameras, so opens of a detached name fail at
// once instead of waiting on a socket nobody serves.
bool VcamDaemon::SyncListeners() {
    bool allServed = true;
    for (int i = 0; i < vcam::protocol::kDeviceCount; ++i) {
        const bool attached = TavlinVcam_IsAttached(i) == 1;
        const std::string path = vcam::DeviceSocketPath(vcam::DeviceNameOf(i));
        if (attached && !listeners_[i].Valid()) {
            ::unlink(path.c_str());
            if (auto fd = vcam::ListenUnixSocket(path)) {
                listeners_[i] = std::move(*fd);
                TAVLIN_LOG(Daemon, Info, "camera %d served on %s", i, path.c_str());
            } else {
                std::fprintf(stderr, "tavlin-vcamd: cannot listen on %s: %s\n", path.c_str(),
                             std::strerror(errno));
                allServed = false;
            }
        } else if (!attached && listeners_[i].Valid() && !listenerInherited_[i]) {
            ::unlink(path.c_str());
            listeners_[i].Reset();
            TAVLIN_LOG(Daemon, Info, "camera %d no longer served", i);
        }
    }
    return allServed;
}

void VcamDaemon::Run() {
    while (!stopping_) {
        PollOnce();
        ReapConnections();
    }
    NotifyStopping();
    Stop();
}

void VcamDaemon::PollOnce() {
    std::vector<pollfd> fds{{signals_.Get(), POLLIN, 0}, {control_.Get(), POLLIN, 0}};
    std::vector<int> listenerIndex;
    for (int i = 0; i < vcam::protocol::kDeviceCount; ++i) {
        if (!listeners_[i].Valid()) continue;
        fds.push_back({listeners_[i].Get(), POLLIN, 0});
        listenerIndex.push_back(i);
    }
    const size_t firstSession = fds.size();
    for (const auto& session : sessions_) fds.push_back({session->Fd(), session->Events(), 0});
    // The time-out only bounds how long finished connection threads wait to be joined.
    if (::poll(fds.data(), fds.size(), 1000) <= 0) return;

    if (fds[0].revents & POLLIN) stopping_ = true;
    if (fds[1].revents & POLLIN) AcceptControl();
    for (size_t i = 0; i < listenerIndex.size(); ++i) {
        if (fds[2 + i].revents & POLLIN) AcceptDevice(listenerIndex[i]);
    }
    bool commandsRan = false;
    std::vector<std::unique_ptr<ControlSession>> alive;
    for (size_t i = 0; i < sessions_.size(); ++i) {
        auto& session = sessions_[i];
        const short revents = i + firstSession < fds.size() ? fds[i + firstSession].revents : 0;
        if (revents != 0) commandsRan = true;
        const bool keep = revents == 0 || session->Service(revents);
        if (session->ShutdownRequested()) stopping_ = true;
        if (keep) alive.push_back(std::move(session));
    }
    sessions_ = std::move(alive);
    if (commandsRan) SyncListeners();
}

void VcamDaemon::AcceptDevice(int index) {
    vcam::UniqueFd fd(::accept4(listeners_[index].Get(), nullptr, nullptr, SOCK_CLOEXEC));
    if (!fd.Valid()) return;
    auto connection = std::make_unique<DeviceConnection>();
    connection->fd = std::move(fd);
    DeviceConnection* c = connection.get();
    const bool room = devices_.size() < kMaxDeviceConnections;
    if (diag::On(diag::Category::Daemon, diag::Level::Warn)) {
        // The client's process, for telling clients apart in the log.
        ucred peer{};
        socklen_t length = sizeof(peer);
        const int pid =
            ::getsockopt(connection->fd.Get(), SOL_SOCKET, SO_PEERCRED, &peer, &length) == 0
                ? static_cast<int>(peer.pid)
                : -1;
        if (room) {
            TAVLIN_LOG(Daemon, Debug, "client pid %d connected to camera %d (%zu connections)", pid,
                       index, devices_.size() + 1);
        } else {
            TAVLIN_LOG(Daemon, Warn, "client pid %d of camera %d refused: %zu connections already",
                       pid, index, devices_.size());
        }
    }
    try {
        connection->thread = std::thread([c, index, room] {
            // Opened on the connection's thread: a refused open is answered by the hello.
            auto file = room ? vcam::OpenAttachedDeviceFile(DevicePathOf(index)) : nullptr;
            vcam::SocketStream stream(c->fd.Get());
            vcam::ServeDeviceConnection(stream, file.get());
            file.reset();
            ::shutdown(c->fd.Get(), SHUT_RDWR);
            TAVLIN_LOG(Daemon, Debug, "client of camera %d disconnected", index);
            c->finished = true;
        });
    } catch (const std::system_error&) {
        return;  // no thread to serve it: the client sees the connection close before the hello
    }
    devices_.push_back(std::move(connection));
}

void VcamDaemon::AcceptControl() {
    vcam::UniqueFd fd(::accept4(control_.Get(), nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK));
    if (!fd.Valid()) return;
    if (sessions_.size() >= kMaxControlSessions) {
        TAVLIN_LOG(Daemon, Warn, "control connection refused: %zu sessions already",
                   sessions_.size());
        static constexpr char kBusy[] = "error too many control connections\n";
        ::send(fd.Get(), kBusy, sizeof(kBusy) - 1, MSG_DONTWAIT | MSG_NOSIGNAL);
        return;
    }
    sessions_.push_back(std::make_unique<ControlSession>(std::move(fd)));
    TAVLIN_LOG(Daemon, Debug, "control session opened (%zu open)", sessions_.size());
}

void VcamDaemon::ReapConnections() {
    std::erase_if(devices_, [](const std::unique_ptr<DeviceConnection>& c) {
        if (!c->finished) return false;
        c->thread.join();
        return true;
    });
}

void VcamDaemon::Stop() {
    if (!ownsFolder_) return;  // the folder and its cameras belong to another daemon
    if (control_.Valid()) TAVLIN_LOG(Daemon, Info, "daemon stopping: %zu clients", devices_.size());
    for (auto& session : sessions_) session->FlushNow();
    sessions_.clear();
    control_.Reset();
    // Sockets passed in stay bound: the service manager listens on them for the next start.
    for (int i = 0; i < vcam::protocol::kDeviceCount; ++i) {
        if (!listeners_[i].Valid()) continue;
        if (!listenerInherited_[i]) ::unlink(vcam::DeviceSocketPath(vcam::DeviceNameOf(i)).c_str());
        listeners_[i].Reset();
    }
    if (!controlInherited_) ::unlink(vcam::ControlSocketPath().c_str());
    // Unplugging wakes reads waiting for frames or triggers; shutting the sockets down wakes
    // threads waiting for their client's next request.
    TavlinVcam_DetachAll();
    for (auto& c : devices_) ::shutdown(c->fd.Get(), SHUT_RDWR);
    for (auto& c : devices_) c->thread.join();
    devices_.clear();
}

}  // namespace tavlin::vcamd
