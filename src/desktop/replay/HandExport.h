#pragma once
// One hand of a session as pictures of the table, for a talk or a paper: an
// animated PNG, or a folder of numbered PNG frames. The hand is played from
// the moment its deal begins until the next deal begins (after the last
// hand, until the game's end has shown for a moment).

#include <QImage>

#include <functional>
#include <string>

#include "core/output/OutputGuard.h"
#include "core/replay/SessionReplay.h"

namespace qbx::replayview {

class ReplayTable;

inline constexpr double kDefaultFps = 25;

// Calls `frame` with each frame of hand `hand` at `fps` frames a second and
// how long it shows; a picture that does not change until the next action
// or timer is one frame shown that long, so that the count of frames
// follows the hand's records. Stops when `frame` returns false. False with
// `error` when there is no such hand, its two logs place its actions too
// far apart to be played in time, or a frame could not be taken.
bool playHand(replay::SessionReplay& replay, ReplayTable& table, int hand, double fps,
              const std::function<bool(const QImage&, int delayMs)>& frame, std::string& error);

// The hand as an animated PNG at `path`, written whole or not at all.
bool exportHandApng(replay::SessionReplay& replay, ReplayTable& table, int hand, double fps, const std::string& path,
                    std::string& error, int* framesWritten = nullptr);
// Why frames may not be written into `folder`: the output guard's refusal
// of the folder, or of a frame file in it (frame00001.png ...) that exists:
// a link, anything but a regular file, or, without `force`, any file.
std::string framesRefusal(const std::string& folder, const output::Inputs& inputs, bool force);
// The hand as frame00001.png, frame00002.png, ... in `folder` (made when
// missing), each frame held to the output guard as it is written.
bool exportHandFrames(replay::SessionReplay& replay, ReplayTable& table, int hand, double fps,
                      const std::string& folder, const output::Inputs& inputs, bool force, std::string& error,
                      int* framesWritten = nullptr);

}  // namespace qbx::replayview
