#include "BatchState.h"

#include <gtest/gtest.h>

#include <string>

namespace eit {
namespace {

// Records the order in which the bar, the caption and the events come.
class TraceView : public QuietBatchView {
public:
    void SetProgress(int position) override
    {
        QuietBatchView::SetProgress(position);
        Trace += "bar" + std::to_string(position) + " ";
    }
    void ProcessEvents() override { Trace += "events "; }

    std::string Trace;
};

TEST(MoveProgress, MovesTheBarAndRunsEventsOnlyWhenThePositionChanges)
{
    const struct {
        int From;
        int To;
        bool Alongside;
        bool Moved;
        const char* Trace;
    } rows[] = {
        {0, 0, false, false, ""},
        {0, 0, true, false, ""},
        {0, 1, false, true, "bar1 events "},
        {1, 100, true, true, "bar100 caption events "},
        {50, 49, true, true, "bar49 caption events "},
        {100, 100, true, false, ""},
    };
    for (const auto& row : rows) {
        TraceView view;
        view.QuietBatchView::SetProgress(row.From);
        const auto caption = [&] { view.Trace += "caption "; };
        const bool moved = row.Alongside ? MoveProgress(view, row.To, caption) : MoveProgress(view, row.To);
        EXPECT_EQ(moved, row.Moved) << row.From << " -> " << row.To;
        EXPECT_EQ(view.Trace, row.Trace) << row.From << " -> " << row.To;
        EXPECT_EQ(view.ProgressPosition(), row.To);
    }
}

} // namespace
} // namespace eit
