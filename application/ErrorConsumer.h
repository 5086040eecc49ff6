// The application's log consumer: collects the warning and error lines of the start-up
// so a failed start-up can show them in one error box.
#pragma once

#include "Base/Array.h"
#include "Base/String.h"
#include "Utility/Log.h"

#include <cstdint>
#include <mutex>

class ErrorConsumer : public Brivet::Utility::Log::ILogConsumer
{
public:
    // The box shows the first lines, each cut to a length, and a count of the rest:
    // a load that logs a line per element would otherwise fill memory and the screen.
    static constexpr uint32_t MaxShownLines = 40;
    static constexpr uint32_t MaxLineLength = 500;

    void Write(int32_t level, const char* text) override;

    // The collected text (the audio thread may still append): the shown lines, each
    // followed by a newline, then one line counting those not shown.
    Brivet::Base::String GetText();

    // Playback has started: later lines are dropped, the text stays as it is.
    void StopCollecting();

private:
    std::mutex lock;
    Brivet::Base::Array<char> shown; // the shown lines with their newlines, no terminator
    uint32_t shownLines = 0;
    uint32_t hiddenLines = 0;
    bool collecting = true;
};

extern ErrorConsumer g_ErrorConsumer;
