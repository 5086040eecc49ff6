// The error consumer: the warning and error lines of the start-up, for the error box.
#include "ErrorConsumer.h"

ErrorConsumer g_ErrorConsumer;

void ErrorConsumer::Write(int32_t level, const char* line)
{
    // The main and the audio thread both log; the text is appended under a lock.
    std::lock_guard<std::mutex> guard(lock);
    if (!collecting)
        return;
    text.Append(Brivet::Base::String(line));
    text.Append(Brivet::Base::String("\n"));
}

Brivet::Base::String ErrorConsumer::GetText()
{
    std::lock_guard<std::mutex> guard(lock);
    Brivet::Base::String copy;
    copy = text;
    return copy;
}

void ErrorConsumer::StopCollecting()
{
    // Lines of the frames and the shutdown are not kept: nothing ever shows them, and
    // a text grown to exact sizes would cost quadratic time for a line per frame.
    std::lock_guard<std::mutex> guard(lock);
    collecting = false;
}
