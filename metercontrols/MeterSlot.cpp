#include "metercontrols/MeterSlot.h"

MeterSlot::MeterSlot(VantrelCntl* control, QObject* parent)
    : VantrelCntl(parent)
{
    Replace(control);
}

MeterSlot::~MeterSlot()
{
    delete m_control;
}

void MeterSlot::Replace(VantrelCntl* control)
{
    delete m_control;
    m_control = control;
    m_control->setParent(nullptr);
    connect(m_control, &VantrelCntl::MeterEvent, this, &VantrelCntl::MeterEvent);
}
