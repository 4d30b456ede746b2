#pragma once
// Input sent as the system's own, so that it crosses the same queues as a
// participant's mouse and keyboard: XTEST on X11 (through Qt's connection),
// SendInput on Windows. Points are in screen pixels of the primary screen,
// device-independent as Qt gives them.

#include <QPoint>

#include <memory>
#include <string>

namespace qbx {

class InputSender {
public:
    virtual ~InputSender() = default;
    virtual void moveTo(QPoint screenPoint) = 0;
    // button 1 is the left one, 3 the right one.
    virtual void press(int button) = 0;
    virtual void release(int button) = 0;
    virtual void pressKey(int qtKey) = 0;
    virtual void releaseKey(int qtKey) = 0;
    // Hands what was sent to the system now, not when a buffer fills.
    virtual void flush() = 0;
};

// The sender of this system; nullptr with `why` when input cannot be sent
// as the system's own (no XTEST extension, a platform without one).
std::unique_ptr<InputSender> systemInputSender(std::string& why);

}  // namespace qbx
