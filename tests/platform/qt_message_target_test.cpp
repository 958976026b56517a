#include "platform/qt_message_target.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QObject>
#include <thread>
#include <vector>

namespace zelvor {
namespace {

QCoreApplication& Application() {
    static int argc = 1;
    static char name[] = "qt_message_target_test";
    static char* argv[] = {name, nullptr};
    static QCoreApplication application(argc, argv);
    return application;
}

class Receiver : public QObject {
public:
    std::vector<AppMessage> received;
    int otherEvents = 0;

    bool event(QEvent* event) override {
        if (const auto message = DecodeAppMessage(event)) {
            received.push_back(*message);
            return true;
        }
        ++otherEvents;
        return QObject::event(event);
    }
};

TEST(QtMessageTarget, MessagesFromWorkerThreadsArriveOnTheReceiversThreadInOrder) {
    Application();
    Receiver receiver;
    QtMessageTarget target(&receiver);
    SetMainWindowTarget(&target);
    constexpr int PER_THREAD = 100;
    std::vector<std::thread> workers;
    for (int t = 0; t < 3; ++t)
        workers.emplace_back([t] {
            for (int i = 0; i < PER_THREAD; ++i) PostToMainWindow(MSG_LOAD_PROGRESS, t, i);
        });
    for (auto& worker : workers) worker.join();
    SetMainWindowTarget(nullptr);
    EXPECT_TRUE(receiver.received.empty());  // nothing runs before the loop delivers it

    QCoreApplication::sendPostedEvents(&receiver, AppMessageEvent::Type());
    ASSERT_EQ(receiver.received.size(), 3u * PER_THREAD);
    std::vector<std::intptr_t> next(3, 0);
    for (const AppMessage& m : receiver.received) {
        EXPECT_EQ(m.code, MSG_LOAD_PROGRESS);
        ASSERT_GE(m.wParam, 0);
        ASSERT_LT(m.wParam, 3);
        EXPECT_EQ(m.lParam, next[m.wParam]++);
    }
}

TEST(QtMessageTarget, OtherEventsAreNotDecoded) {
    Application();
    QEvent plain(QEvent::User);
    EXPECT_FALSE(DecodeAppMessage(&plain));
    EXPECT_FALSE(DecodeAppMessage(nullptr));
    AppMessageEvent ours({MSG_FIRST_FRAME_READ, 1, 2});
    const auto decoded = DecodeAppMessage(&ours);
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->code, MSG_FIRST_FRAME_READ);
    EXPECT_EQ(decoded->wParam, 1);
    EXPECT_EQ(decoded->lParam, 2);
}

}  // namespace
}  // namespace zelvor
