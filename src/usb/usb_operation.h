// One request on a camera's pipe as pieces in flight at once, and the requests of a camera's
// files. Free of libusb: the pieces reach the device through PieceIo, and come back through
// Operation::Complete on the event thread.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <vector>

namespace tavlin::usb {

// How a request ended.
enum class Outcome {
    kComplete,   // every byte asked for
    kShort,      // the device ended early (a short packet): the bytes up to there
    kLong,       // the device had more than asked for
    kFailed,     // a transfer error, or a submission refused
    kStalled,    // the endpoint halted (the device refused the request)
    kTimedOut,   // nothing arrived for the request's inactivity limit, or libusb's time-out
    kCancelled,  // the file's Cancel()
    kGone,       // the device is gone
};

// How one piece ended.
enum class PieceStatus { kCompleted, kOverflow, kNoDevice, kTimedOut, kCancelled, kStall, kError };

enum class SubmitResult { kOk, kNoMemory, kNoDevice, kFailed };

class PieceIo {
  public:
    virtual ~PieceIo() = default;
    // Never completes the piece before returning.
    virtual SubmitResult Submit(size_t piece) = 0;
    // Asks for a piece in flight to end (it then completes as cancelled, or as it was).
    virtual void Cancel(size_t piece) = 0;
};

class Operation {
  public:
    Operation(const void* file, const std::vector<uint32_t>& lengths, uint16_t maxPacket);
    Operation(const Operation&) = delete;
    Operation& operator=(const Operation&) = delete;

    const void* File() const { return file_; }
    uint32_t Requested() const { return requested_; }

    // Submits every piece, or as many as the kernel takes (the rest follow as pieces complete).
    void Start(PieceIo& io);
    // Waits until no piece is in flight any more. inactivityMs > 0: fails the request when no
    // piece completes for that long. quietEndMs > 0: once bytes have arrived, a request whose
    // next piece stays silent that long ends short with them (a frame that ended on a piece
    // boundary sends no short packet to say so). *moved: the bytes of the pieces that completed
    // in order (requested + one packet for kLong).
    Outcome Wait(uint32_t inactivityMs, uint32_t* moved, uint32_t quietEndMs = 0);
    // From another thread: ends the request with `why`, unless it has ended already.
    void Abort(Outcome why);

    // A piece came back (the event thread).
    void Complete(size_t piece, PieceStatus status, uint32_t actual);

  private:
    struct Piece {
        uint32_t length = 0;
        bool submitted = false;
        bool finished = false;
    };

    void SubmitMore();       // under mutex_
    void Stop(Outcome why);  // under mutex_

    const void* const file_;
    const uint16_t maxPacket_;
    uint32_t requested_ = 0;

    std::mutex mutex_;
    std::condition_variable changed_;
    PieceIo* io_ = nullptr;  // the members below under mutex_
    std::vector<Piece> pieces_;
    size_t next_ = 0;
    int inFlight_ = 0;
    bool stopping_ = false;
    Outcome outcome_ = Outcome::kComplete;
    uint32_t moved_ = 0;
    std::chrono::steady_clock::time_point lastProgress_;
};

// The requests running on one camera, so that a file's Cancel() and the device's loss reach
// them. Its lock comes before any operation's.
class CameraRequests {
  public:
    // `gone` is the camera's own flag, which hotplug may set too.
    explicit CameraRequests(std::atomic<bool>& gone) : gone_(gone) {}

    // False (and not registered) when the file was cancelled or the device is gone.
    bool Begin(Operation& operation);
    void End(Operation& operation);

    void CancelFile(const void* file);
    void ForgetFile(const void* file);  // the file closed: its address may be used again
    void MarkGone();
    bool Gone() const { return gone_; }
    bool Usable(const void* file);

  private:
    bool CancelledLocked(const void* file) const;

    std::mutex mutex_;
    std::vector<Operation*> operations_;       // under mutex_
    std::vector<const void*> cancelledFiles_;  // under mutex_
    std::atomic<bool>& gone_;
};

}  // namespace tavlin::usb
