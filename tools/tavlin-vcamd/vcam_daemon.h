// The virtual-camera daemon: serves the cameras attached in this process to every process of
// the user through one socket per camera, and takes commands on a control socket.
#pragma once

#include <array>
#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "control_session.h"
#include "service_manager.h"
#include "vcam/camera_model.h"
#include "vcam/unix_socket.h"

namespace tavlin::vcamd {

class VcamDaemon {
  public:
    VcamDaemon() = default;
    ~VcamDaemon();
    VcamDaemon(const VcamDaemon&) = delete;
    VcamDaemon& operator=(const VcamDaemon&) = delete;

    // Takes the socket folder for this process: creates it if needed, refuses when another
    // daemon holds it, removes sockets a dead daemon left behind, listens on the control socket
    // and on the socket of every camera attached so far. Sockets a service manager passed in
    // (`inherited`, each the control socket or a camera socket of the folder) are used instead
    // of binding: they stay bound while the daemon runs and after it stops, and a camera socket
    // passed in refuses opens (with its hello) while its camera is detached.
    // SIGTERM, SIGINT and SIGHUP must already be blocked in the calling thread. On failure
    // `error` says why.
    bool Start(std::vector<InheritedSocket> inherited, std::string& error);
    // Serves until a stop signal or a "shutdown" command, then stops every connection.
    void Run();
    const std::string& Folder() const { return folder_; }

  private:
    // One client connection on a camera socket, served on its own thread.
    struct DeviceConnection {
        vcam::UniqueFd fd;
        std::thread thread;
        std::atomic<bool> finished{false};
    };

    bool TakeFolder(std::string& error);
    bool AdoptSockets(std::vector<InheritedSocket>& inherited, std::string& error);
    void RemoveStaleSockets();
    bool SyncListeners();  // false when a camera socket could not be made
    void PollOnce();
    void AcceptDevice(int index);
    void AcceptControl();
    void ReapConnections();
    void Stop();

    std::string folder_;
    vcam::UniqueFd lock_;
    vcam::UniqueFd signals_;
    vcam::UniqueFd control_;
    std::array<vcam::UniqueFd, vcam::protocol::kDeviceCount> listeners_;
    // Passed in by the service manager: never unlinked or closed before the daemon stops.
    bool controlInherited_ = false;
    std::array<bool, vcam::protocol::kDeviceCount> listenerInherited_{};
    std::vector<std::unique_ptr<DeviceConnection>> devices_;
    std::vector<std::unique_ptr<ControlSession>> sessions_;
    bool ownsFolder_ = false;  // the lock is ours: the folder's sockets are ours to remove
    bool stopping_ = false;
};

}  // namespace tavlin::vcamd
