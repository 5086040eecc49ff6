// The error consumer: the warning and error lines of the start-up, for the error box.
#include "ErrorConsumer.h"

#include <cstring>

ErrorConsumer g_ErrorConsumer;

void ErrorConsumer::Write(int32_t level, const char* line)
{
    // The main and the audio thread both log; the lines are kept under a lock.
    std::lock_guard<std::mutex> guard(lock);
    if (!collecting)
        return;
    if (shownLines == MaxShownLines)
    {
        ++hiddenLines;
        return;
    }
    size_t length = strlen(line);
    const bool cut = length > MaxLineLength;
    if (cut)
        length = MaxLineLength;
    // Room for the whole line first, grown by half at least, so collecting stays linear
    // in the text kept; without memory the line counts among those not shown.
    const uint32_t needed = shown.GetCount() + uint32_t(length) + (cut ? 3 : 0) + 1;
    if (needed > shown.GetCapacity())
    {
        const uint32_t grown = shown.GetCapacity() + shown.GetCapacity() / 2;
        if (!shown.Reserve(needed > grown ? needed : grown))
        {
            ++hiddenLines;
            return;
        }
    }
    for (size_t i = 0; i < length; ++i)
        shown.Add(line[i]);
    if (cut)
        for (const char* dots = "..."; *dots; ++dots)
            shown.Add(*dots);
    shown.Add('\n');
    ++shownLines;
}

Brivet::Base::String ErrorConsumer::GetText()
{
    std::lock_guard<std::mutex> guard(lock);
    Brivet::Base::String text;
    text.Format("%.*s", int(shown.GetCount()), shown.GetData() ? shown.GetData() : "");
    if (hiddenLines != 0)
    {
        Brivet::Base::String more;
        more.Format("(%u more line%s not shown)\n", hiddenLines, hiddenLines == 1 ? "" : "s");
        text.Append(more);
    }
    return text;
}

void ErrorConsumer::StopCollecting()
{
    // Lines of the frames and the shutdown are not kept: nothing ever shows them.
    std::lock_guard<std::mutex> guard(lock);
    collecting = false;
}
