#pragma once

#include <QCoreApplication>
#include <QString>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

#include <ostream>

// Readable QString values in failure messages.
inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}

namespace harlox::test {

// Shows a top-level widget and waits until it has the keyboard, so focus changes deliver
// their events at once.
inline void showActive(QWidget* w) {
    w->show();
    w->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(w));
}

// Runs everything that was queued (the fields' change notifications, close requests).
inline void drainEvents() {
    for (int i = 0; i < 3; ++i)
        QCoreApplication::processEvents();
}

} // namespace harlox::test
