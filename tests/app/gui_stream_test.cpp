#include "app/gui_stream.h"

#include <gtest/gtest.h>

#include <thread>

#include "message_recorder.h"

namespace zelvor {
namespace {

using Strings = std::vector<std::string>;

TEST(GUIStream, EachCompletedReportIsOneMessage) {
    test::MessageRecorder recorder;
    GUIStream stream;
    stream << "The performance module couldn't be initialised" << "\nError code is:" << std::hex << 0x1F << std::endl;
    stream << "Second report" << std::endl;
    EXPECT_EQ(recorder.Texts(),
              (Strings{"The performance module couldn't be initialised\nError code is:1f\n", "Second report\n"}));
}

TEST(GUIStream, NothingIsShownBeforeAFlushNorForAnEmptyOne) {
    test::MessageRecorder recorder;
    GUIStream stream;
    stream << std::flush;
    stream << "Key not found.\n";
    EXPECT_TRUE(recorder.Texts().empty());
    stream << std::flush;
    stream << std::flush;
    EXPECT_EQ(recorder.Texts(), Strings{"Key not found.\n"});
}

TEST(GUIStream, LongReportsAreShownInPiecesOfTheBufferSize) {
    test::MessageRecorder recorder;
    GUIStream stream;
    std::string text;
    for (int i = 0; i < 2500; ++i) text += static_cast<char>('a' + i % 26);
    stream << text << std::endl;
    const Strings shown = recorder.Texts();
    ASSERT_EQ(shown.size(), 3u);
    EXPECT_EQ(shown[0], text.substr(0, 1024));
    EXPECT_EQ(shown[1], text.substr(1024, 1024));
    EXPECT_EQ(shown[2], text.substr(2048) + "\n");

    // Exactly one buffer's worth waits for the flush like any other report.
    stream << std::string(1024, 'z');
    EXPECT_EQ(recorder.Texts().size(), 3u);
    stream.flush();
    EXPECT_EQ(recorder.Texts().back(), std::string(1024, 'z'));
}

TEST(GUIStream, WithoutAWindowTheMessageHasNoOwnerAndNoCaption) {
    test::MessageRecorder recorder;
    GUIStream stream;
    stream << "early" << std::endl;
    ASSERT_EQ(recorder.Shown().size(), 1u);
    EXPECT_EQ(recorder.Shown()[0].owner, 0u);
    EXPECT_EQ(recorder.Shown()[0].caption, "");
}

TEST(GUIStream, TheProcessWindowOwnsTheMessageAndGivesItsTitle) {
    test::MessageRecorder recorder;
    const std::string longTitle = std::string(120, 't') + "Zelvor";
    SetMessageWindowHooks({[] { return WindowHandle{77}; },
                           [&](WindowHandle window) { return window == 77 ? longTitle : std::string("wrong"); }});
    GUIStream stream;
    stream << "with window" << std::endl;
    SetMessageWindowHooks({});
    ASSERT_EQ(recorder.Shown().size(), 1u);
    EXPECT_EQ(recorder.Shown()[0].owner, 77u);
    EXPECT_EQ(recorder.Shown()[0].caption, longTitle.substr(0, 123));
}

TEST(GUIStream, GivenOwnerAndCaptionAreReadWhenShown) {
    test::MessageRecorder recorder;
    bool searched = false;
    SetMessageWindowHooks({[&] {
                               searched = true;
                               return WindowHandle{77};
                           },
                           [](WindowHandle) { return std::string("title"); }});
    WindowHandle owner = 5;
    std::string caption = "Zelvor";
    GUIStream stream(&owner, &caption);
    stream << "one";
    owner = 6;
    caption = "Output Panel";
    stream << std::endl;
    GUIStream ownerOnly(&owner);
    ownerOnly << "two" << std::endl;
    SetMessageWindowHooks({});

    const auto shown = recorder.Shown();
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[0].owner, 6u);
    EXPECT_EQ(shown[0].caption, "Output Panel");
    EXPECT_EQ(shown[1].owner, 6u);
    EXPECT_EQ(shown[1].caption, "title");
    EXPECT_FALSE(searched);
}

TEST(GUIStream, ThreadsReportThroughTheirOwnStream) {
    test::MessageRecorder recorder;
    MessageStream() << "main thread, ";
    std::thread worker([] { MessageStream() << "worker report" << std::endl; });
    worker.join();
    MessageStream() << "still whole" << std::endl;
    EXPECT_EQ(recorder.Texts(), (Strings{"worker report\n", "main thread, still whole\n"}));
}

TEST(GUIStream, PendingTextIsShownWhenTheStreamEnds) {
    test::MessageRecorder recorder;
    { GUIStream stream; stream << "unfinished"; }
    std::thread worker([] { MessageStream() << "left at thread exit"; });
    worker.join();
    EXPECT_EQ(recorder.Texts(), (Strings{"unfinished", "left at thread exit"}));
}

TEST(GUIStream, WithoutAPresenterTheTextGoesToStandardError) {
    testing::internal::CaptureStderr();
    GUIStream stream;
    stream << "headless report" << std::endl;
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "headless report\n");
}

}  // namespace
}  // namespace zelvor
