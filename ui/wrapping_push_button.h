#pragma once

#include <QPushButton>

// A push button whose caption wraps at word breaks within its width, the way
// the step buttons' long captions are meant to show.
class WrappingPushButton : public QPushButton {
    Q_OBJECT
public:
    WrappingPushButton(const QString &caption, QWidget *parent);

protected:
    void paintEvent(QPaintEvent *event) override;
};
