// A 16 x 16 status lamp: bitmap 35 (off) or 36 (red, on), drawn beside the label of its row.
#pragma once

#include <QWidget>

namespace kestrane {

class Lamp : public QWidget {
    Q_OBJECT
public:
    explicit Lamp(QWidget* parent = nullptr);

    void setLit(bool lit);
    [[nodiscard]] bool isLit() const { return lit_; }
    // A lamp whose signal the device does not report is drawn greyed, whatever `lit` says.
    void setAvailable(bool available);
    [[nodiscard]] bool isAvailable() const { return available_; }
    [[nodiscard]] QSize sizeHint() const override { return {16, 16}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    bool lit_ = false;
    bool available_ = true;
};

} // namespace kestrane
