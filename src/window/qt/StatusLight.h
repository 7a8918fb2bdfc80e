#pragma once

#include <QHash>
#include <QPixmap>
#include <QWidget>
#include <cstdint>

namespace brisolant {

// A filled circle centred in its box, the box's shorter side as diameter. Each colour is drawn
// once for the box's size and kept: the light changes twice a scan.
class StatusLight : public QWidget {
    Q_OBJECT

  public:
    explicit StatusLight(QWidget* parent = nullptr);

    // A colour value in the order 0x00BBGGRR.
    void SetColour(std::uint32_t colour);
    std::uint32_t Colour() const { return colour_; }

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

  private:
    void FollowBackground();
    const QPixmap& Picture();

    std::uint32_t colour_ = 0xFFFFFF;
    bool opaque_ = false;
    // The circle drawn in each colour shown so far, at the current size.
    QHash<std::uint32_t, QPixmap> pictures_;
};

}  // namespace brisolant
