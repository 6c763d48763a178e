// Dialogs driven through their controls: controls found by their control ids (their object
// names; a missing one fails the test that asked for it), a modal dialog answered once it is
// open, and waits that keep the event loop running.
#pragma once

#include <QApplication>
#include <QPushButton>
#include <QString>
#include <QTimer>
#include <QWidget>
#include <QtTest/QTest>

#include <gtest/gtest.h>

#include <chrono>
#include <functional>

namespace kestrane::test {

template <typename T>
T* child(QWidget* w, const QString& name)
{
    T* c = w->findChild<T*>(name);
    EXPECT_NE(c, nullptr) << name.toStdString();
    return c;
}

template <typename T>
T* child(QWidget* w, int id)
{
    return child<T>(w, QString::number(id));
}

template <typename T>
T* child(QWidget* w, const char* name)
{
    return child<T>(w, QString::fromLatin1(name));
}

inline void click(QWidget* w, int id) { child<QPushButton>(w, id)->click(); }

// Runs `action` on the next modal dialog once it is open, then lets the call that opened it return.
inline void whenModalOpens(std::function<void(QWidget*)> action)
{
    QTimer::singleShot(0, [action = std::move(action)] {
        QWidget* w = QApplication::activeModalWidget();
        ASSERT_NE(w, nullptr);
        action(w);
    });
}

// Waits, processing events, until `done` holds (true) or the generous limit passes (false).
inline bool waitFor(const std::function<bool()>& done, std::chrono::milliseconds limit = std::chrono::seconds(5))
{
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        QTest::qWait(10);
    }
    return true;
}

} // namespace kestrane::test
