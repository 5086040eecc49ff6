// The application's log consumer: collects every warning and error line so a
// failed start-up can show them all in one error box.
#pragma once

#include "Base/String.h"
#include "Utility/Log.h"

#include <mutex>

class ErrorConsumer : public Brivet::Utility::Log::ILogConsumer
{
public:
    void Write(int32_t level, const char* text) override;

    // Copy of the collected text (the audio thread may still append).
    Brivet::Base::String GetText();

    // Playback has started: later lines are dropped, the text stays as it is.
    void StopCollecting();

private:
    std::mutex lock;
    Brivet::Base::String text;
    bool collecting = true;
};

extern ErrorConsumer g_ErrorConsumer;
