#pragma once
// Driving page controls as a user would: typing, leaving fields, clicking.

#include <QAbstractButton>
#include <QLineEdit>
#include <QSpinBox>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

// The named control; a missing one fails the test loudly.
template <typename T>
T& Child(const QWidget& parent, const QString& name)
{
    T* child = parent.findChild<T*>(name);
    if (!child)
        throw std::runtime_error("no control " + name.toStdString());
    return *child;
}

// Replaces the text as typed keys and leaves the field with Enter.
inline void TypeAndLeave(QLineEdit& field, const QString& text)
{
    field.selectAll();
    QTest::keyClick(&field, Qt::Key_Backspace);
    QTest::keyClicks(&field, text);
    QTest::keyClick(&field, Qt::Key_Return);
}

inline void TypeAndLeave(QSpinBox& spin, const QString& text)
{
    spin.selectAll();
    QTest::keyClick(&spin, Qt::Key_Backspace);
    QTest::keyClicks(&spin, text);
    QTest::keyClick(&spin, Qt::Key_Return);
}

inline void Click(const QWidget& parent, const QString& buttonName) { Child<QAbstractButton>(parent, buttonName).click(); }
