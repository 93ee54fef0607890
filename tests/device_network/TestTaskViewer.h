#pragma once
// The smallest concrete viewer: runs the tracking task with the test cotask pair and counts ticks.
#include "TestCotask.h"
#include "device_network/TaskViewer.h"

class TestTaskViewer : public TaskViewer {
    Q_OBJECT
    Q_PROPERTY(int ticks READ ticks)
public:
    enum constants : int {
        InterfaceId0 = int(0xA6C07D30u),
        InterfaceId1 = int(0x44EDE3CFu),
        InterfaceId2 = int(0x965F96B9u),
        InterfaceId3 = int(0xE2928399u),
    };
    Q_ENUM(constants)

    using TaskViewer::TaskViewer;
    int ticks() const { return ticks_; }
    TestTask::Cotask* testCotask() const { return cotaskAs<TestTask::Cotask>(); }

protected:
    Kestrel::DeviceNetwork::InterfaceId taskIdentifier() const override {
        return Kestrel::InterfaceContract::makeInterfaceId("A6C07D30-E3CF-44ED-B996-5F96998392E2");
    }
    Kestrel::DeviceNetwork::CotaskPair createCotask(Kestrel::DeviceNetwork::NodeHandle node) override {
        return TestTask::makePair(node);
    }
    void onTick() override { ++ticks_; }

private:
    int ticks_ = 0;
};
