#include "ErrorConsumer.h"

ErrorConsumer g_ErrorConsumer;

void ErrorConsumer::Write(int32_t level, const char* line)
{
    // The main and the audio thread both log; the text is appended under a lock.
    std::lock_guard<std::mutex> guard(lock);
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
