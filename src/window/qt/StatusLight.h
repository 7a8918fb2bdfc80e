#pragma once

#include <QWidget>
#include <cstdint>

// A filled circle centred in its box, the box's shorter side as diameter.
class StatusLight : public QWidget {
    Q_OBJECT

  public:
    explicit StatusLight(QWidget* parent = nullptr);

    // A colour value in the order 0x00BBGGRR.
    void SetColour(std::uint32_t colour);
    std::uint32_t Colour() const { return m_colour; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    std::uint32_t m_colour = 0xFFFFFF;
};
