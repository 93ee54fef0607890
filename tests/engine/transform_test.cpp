// World values, change propagation and lifetimes of the transform tree.
#include "TestScene.h"

#include "engine/LookAtTransform.h"
#include "engine/MatrixTransform.h"
#include "engine/Quaternion.h"
#include "engine/Registration.h"
#include "engine/Transform.h"
#include "engine/Viewport.h"

#include <QSignalSpy>
#include <QThread>
#include <QTest>

#include <cmath>
#include <mutex>

using namespace KestrelQt3DEngine;

namespace {

bool near(const QVector3D& a, const QVector3D& b, float tolerance = 1e-5f) { return (a - b).length() <= tolerance; }

bool near(const QMatrix4x4& a, const QMatrix4x4& b, float tolerance = 1e-5f) {
    for (int i = 0; i < 16; ++i) {
        if (std::fabs(a.constData()[i] - b.constData()[i]) > tolerance)
            return false;
    }
    return true;
}

// Same rotation: q and -q turn vectors alike.
bool sameRotation(const QQuaternion& a, const QQuaternion& b) {
    return std::fabs(std::fabs(QQuaternion::dotProduct(a.normalized(), b.normalized())) - 1.0f) < 1e-5f;
}

#define QCOMPARE_VEC(actual, expected)                                                                          \
    do {                                                                                                        \
        const QVector3D a_ = (actual), e_ = (expected);                                                         \
        if (!near(a_, e_))                                                                                      \
            QFAIL(qPrintable(QString("(%1, %2, %3) != (%4, %5, %6)").arg(a_.x()).arg(a_.y()).arg(a_.z()).arg(e_.x()).arg(e_.y()).arg(e_.z()))); \
    } while (false)

} // namespace

class TransformTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { registerTypes(); }

    void worldValuesOfNestedTransforms() {
        QQmlEngine engine;
        std::unique_ptr<QObject> scene(EngineTest::createObject(engine, R"(
Viewport {
    Transform { objectName: "direct"; localPosition: Qt.vector3d(1, 2, 3) }
    Transform {
        localScale: 2
        localRotation: Quaternion.fromAxisAndAngle(Qt.vector3d(0, 1, 0), 90)
        Transform { objectName: "child"; localPosition: Qt.vector3d(1, 0, 0); localScale: 1.5 }
    }
})"));
        QVERIFY(scene);
        auto* direct = scene->findChild<Transform*>("direct");
        auto* child = scene->findChild<Transform*>("child");
        QCOMPARE_VEC(direct->getPosition(), QVector3D(1, 2, 3));
        // Rotating (1, 0, 0) by 90 degrees about Y gives (0, 0, -1); the parent scale doubles it.
        QCOMPARE_VEC(child->getPosition(), QVector3D(0, 0, -2));
        QCOMPARE(child->getScale(), 3.0f);
    }

    void threeLevelsAndTheMatrix() {
        QQmlEngine engine;
        std::unique_ptr<QObject> scene(EngineTest::createObject(engine, R"(
Viewport {
    Transform {
        localPosition: Qt.vector3d(1, 2, 3)
        localRotation: Quaternion.fromAxisAndAngle(Qt.vector3d(0, 0, 1), 90)
        localScale: 2
        Transform {
            objectName: "child"
            localPosition: Qt.vector3d(1, 0, 0)
            localRotation: Quaternion.fromAxisAndAngle(Qt.vector3d(1, 0, 0), 90)
            localScale: 0.5
            Transform { objectName: "grandchild"; localPosition: Qt.vector3d(0, 1, 0) }
        }
    }
})"));
        QVERIFY(scene);
        auto* child = scene->findChild<Transform*>("child");
        auto* grandchild = scene->findChild<Transform*>("grandchild");
        // child: (1,2,3) + Rz90 (2 * (1,0,0)) = (1,4,3), scale 1; grandchild: Rz90 Rx90 (0,1,0) = (0,0,1).
        QCOMPARE_VEC(grandchild->getPosition(), QVector3D(1, 4, 4));
        QCOMPARE(grandchild->getScale(), 1.0f);
        // M = T R S maps the child's local point (0, 1, 0) where the grandchild sits.
        QCOMPARE_VEC(child->getMatrix().map(QVector3D(0, 1, 0)), QVector3D(1, 4, 4));
        // The rows of the child's matrix, derived by hand: Rz90 Rx90 = [[0,0,1],[1,0,0],[0,1,0]].
        const QMatrix4x4 expected(0, 0, 1, 1,
                                  1, 0, 0, 4,
                                  0, 1, 0, 3,
                                  0, 0, 0, 1);
        QVERIFY(near(child->getMatrix(), expected));
    }

    void parentChangeSignalsTheWholeSubtree() {
        QQmlEngine engine;
        std::unique_ptr<QObject> scene(EngineTest::createObject(engine, R"(
Viewport {
    Transform {
        objectName: "parent"
        Transform { objectName: "child"; localPosition: Qt.vector3d(1, 0, 0)
            Transform { objectName: "grandchild"; localPosition: Qt.vector3d(1, 0, 0) } }
    }
})"));
        QVERIFY(scene);
        auto* parent = scene->findChild<Transform*>("parent");
        auto* child = scene->findChild<Transform*>("child");
        auto* grandchild = scene->findChild<Transform*>("grandchild");
        QSignalSpy childRotation(child, &Transform::rotationChanged), childPosition(child, &Transform::positionChanged);
        QSignalSpy grandRotation(grandchild, &Transform::rotationChanged), grandPosition(grandchild, &Transform::positionChanged);
        QSignalSpy grandScale(grandchild, &Transform::scaleChanged);
        parent->setLocalRotation(QQuaternion::fromAxisAndAngle(0, 0, 1, 90));
        QCOMPARE(childRotation.count(), 1);
        QCOMPARE(childPosition.count(), 1);
        QCOMPARE(grandRotation.count(), 1);
        QCOMPARE(grandPosition.count(), 1);
        QCOMPARE(grandScale.count(), 0);
        QCOMPARE_VEC(grandchild->getPosition(), QVector3D(0, 2, 0));
        parent->setLocalScale(3);
        QCOMPARE(grandScale.count(), 1);
        QCOMPARE(grandPosition.count(), 2);
        QCOMPARE_VEC(grandchild->getPosition(), QVector3D(0, 6, 0));
    }

    void sameLocalPositionStillSignalsPosition() {
        QQmlEngine engine;
        std::unique_ptr<QObject> scene(EngineTest::createObject(engine, "Viewport { Transform { objectName: \"t\"; localPosition: Qt.vector3d(1, 1, 1) } }"));
        QVERIFY(scene);
        auto* transform = scene->findChild<Transform*>("t");
        QSignalSpy position(transform, &Transform::positionChanged), local(transform, &Transform::localPositionChanged);
        transform->setLocalPosition(QVector3D(1, 1, 1));
        QCOMPARE(position.count(), 1);
        QCOMPARE(local.count(), 0);
        transform->setLocalPosition(QVector3D(2, 1, 1));
        QCOMPARE(position.count(), 2);
        QCOMPARE(local.count(), 1);
    }

    void writtenWorldPositionIsReplacedByTheParent() {
        QQmlEngine engine;
        std::unique_ptr<QObject> scene(EngineTest::createObject(engine, R"(
Viewport { Transform { objectName: "parent"
    Transform { objectName: "child"; localPosition: Qt.vector3d(1, 0, 0) } } })"));
        QVERIFY(scene);
        auto* parent = scene->findChild<Transform*>("parent");
        auto* child = scene->findChild<Transform*>("child");
        QCOMPARE_VEC(child->getPosition(), QVector3D(1, 0, 0));
        child->setPosition(QVector3D(9, 9, 9));
        QCOMPARE_VEC(child->getPosition(), QVector3D(9, 9, 9));
        QCOMPARE_VEC(child->getMatrix().column(3).toVector3D(), QVector3D(9, 9, 9));
        parent->setLocalPosition(QVector3D(0, 5, 0));
        QCOMPARE_VEC(child->getPosition(), QVector3D(1, 5, 0));
    }

    void lookAtAlongZIsIdentityAndLocalUpIsInert() {
        QQmlEngine engine;
        std::unique_ptr<QObject> scene(EngineTest::createObject(engine, R"(
Viewport { LookAtTransform { objectName: "look"; localPosition: Qt.vector3d(0, 1.36, -4.7); targetPosition: Qt.vector3d(0, 1.36, 0) } })"));
        QVERIFY(scene);
        auto* look = scene->findChild<LookAtTransform*>("look");
        QVERIFY2(sameRotation(look->getRotation(), QQuaternion()), qPrintable(QString::number(look->getRotation().scalar())));
        QSignalSpy rotation(look, &LookAtTransform::rotationChanged), up(look, &LookAtTransform::localUpChanged);
        look->setLocalUp(QVector3D(1, 0, 0));
        QCOMPARE(up.count(), 1);
        QCOMPARE(rotation.count(), 0);
        QVERIFY2(sameRotation(look->getRotation(), QQuaternion()), qPrintable(QString::number(look->getRotation().scalar())));

        // Looking at a target on +X turns +Z onto +X and keeps +Y up.
        look->setTargetPosition(QVector3D(10, 1.36, -4.7));
        QCOMPARE(rotation.count(), 1);
        QCOMPARE_VEC(look->getRotation().rotatedVector(QVector3D(0, 0, 1)), QVector3D(1, 0, 0));
        QCOMPARE_VEC(look->getRotation().rotatedVector(QVector3D(0, 1, 0)), QVector3D(0, 1, 0));
        QVERIFY(sameRotation(look->localRotation(), look->getRotation()));
    }

    void lookAtSignalsPositionOnlyOnRealChangesAfterCompletion() {
        LookAtTransform look;
        QSignalSpy position(&look, &LookAtTransform::positionChanged);
        look.setLocalPosition(QVector3D(1, 0, 0));
        QCOMPARE(position.count(), 0);  // not complete yet
        Viewport viewport;
        look.setParent(&viewport);
        look.componentComplete();
        look.setLocalPosition(QVector3D(1, 0, 0));
        QCOMPARE(position.count(), 0);  // unchanged
        look.setLocalPosition(QVector3D(2, 0, 0));
        QCOMPARE(position.count(), 1);
        look.setParent(nullptr);
    }

    void inertBeforeCompletion() {
        Transform parent;
        Transform child(&parent);
        child.componentComplete();
        QSignalSpy childPosition(&child, &Transform::positionChanged);
        parent.setLocalPosition(QVector3D(1, 0, 0));  // parent not complete: notifies nobody
        QCOMPARE(childPosition.count(), 0);
        parent.componentComplete();
        parent.setLocalPosition(QVector3D(2, 0, 0));
        QCOMPARE(childPosition.count(), 1);
        // A transform without a parent keeps its written world values; local values do nothing.
        QCOMPARE_VEC(parent.getPosition(), QVector3D(0, 0, 0));
    }

    void matrixTransformReadsWorldValuesBack() {
        QQmlEngine engine;
        std::unique_ptr<QObject> scene(EngineTest::createObject(engine, R"(
Viewport { Transform { localPosition: Qt.vector3d(1, 0, 0)
    MatrixTransform { objectName: "m"
        Transform { objectName: "inside"; localPosition: Qt.vector3d(1, 0, 0) } } } })"));
        QVERIFY(scene);
        auto* matrix = scene->findChild<MatrixTransform*>("m");
        auto* inside = scene->findChild<Transform*>("inside");
        QMatrix4x4 local;
        local.translate(0, 2, 0);
        local.rotate(90, 0, 0, 1);
        local.scale(3);
        QSignalSpy scale(matrix, &MatrixTransform::scaleChanged);
        matrix->setLocalMatrix(local);
        QCOMPARE(scale.count(), 1);
        QCOMPARE_VEC(matrix->getPosition(), QVector3D(1, 2, 0));
        QVERIFY(qAbs(matrix->getScale() - 3.0f) < 1e-5f);
        QCOMPARE_VEC(matrix->getRotation().rotatedVector(QVector3D(1, 0, 0)), QVector3D(0, 1, 0));
        // The child of the matrix transform: (1,2,0) + Rz90 (3 * (1,0,0)) = (1,5,0).
        QCOMPARE_VEC(inside->getPosition(), QVector3D(1, 5, 0));
        matrix->setLocalMatrix(local);  // equal: nothing
        QCOMPARE(scale.count(), 1);
    }

    void childDestroyedFirstLeavesTheParentsList() {
        Viewport viewport;
        auto* parent = new Transform(&viewport);
        parent->componentComplete();
        auto* child = new Transform(parent);
        child->componentComplete();
        QCOMPARE(parent->observerCount(), 1);
        delete child;
        QCOMPARE(parent->observerCount(), 0);
        parent->setLocalPosition(QVector3D(1, 2, 3));  // must not reach the deleted child
        QCOMPARE_VEC(parent->getPosition(), QVector3D(1, 2, 3));
    }

    void parentDestroyedFirstIsForgotten() {
        auto* parent = new Transform;
        parent->componentComplete();
        Transform child;
        child.componentComplete();
        // child observes parent without being its QObject child, so it outlives it.
        child.attachToParent(parent);
        QCOMPARE(child.parentTransform(), static_cast<AbstractTransform*>(parent));
        delete parent;
        QCOMPARE(child.parentTransform(), nullptr);
        child.setLocalPosition(QVector3D(1, 0, 0));
        QCOMPARE_VEC(child.getPosition(), QVector3D(0, 0, 0));
    }

    // A handler on a child that moves the parent and makes a new transform beside the child
    // runs while the parent is telling its children of a change.
    void childHandlerMovesItsParentAndCreatesASibling() {
        QQmlEngine engine;
        std::unique_ptr<QObject> scene(EngineTest::createObject(engine, R"(
Viewport { Transform { id: top; objectName: "top"
    Component { id: sibling; Transform { objectName: "sibling"; localPosition: Qt.vector3d(0, 1, 0) } }
    Transform { objectName: "child"; localPosition: Qt.vector3d(1, 0, 0)
        property bool armed: false
        onPositionChanged: if (armed) { armed = false; top.localPosition = Qt.vector3d(5, 0, 0); sibling.createObject(top) } } } })"));
        QVERIFY(scene);
        auto* top = scene->findChild<Transform*>("top");
        scene->findChild<QObject*>("child")->setProperty("armed", true);
        {
            EngineTest::Watchdog watchdog(20, "a change made by a child's handler");
            top->setLocalPosition(QVector3D(2, 0, 0));
        }
        QCOMPARE(top->localPosition(), QVector3D(5, 0, 0));
        QCOMPARE_VEC(scene->findChild<Transform*>("child")->getPosition(), QVector3D(6, 0, 0));
        auto* sibling = scene->findChild<Transform*>("sibling");
        QVERIFY(sibling);
        QCOMPARE(top->observerCount(), 2);
        QCOMPARE_VEC(sibling->getPosition(), QVector3D(5, 1, 0));
        top->setLocalPosition(QVector3D(7, 0, 0));
        QCOMPARE_VEC(sibling->getPosition(), QVector3D(7, 1, 0));
    }

    // The look-at rotation is computed lazily where the matrix is read, on the render thread
    // for a camera that is drawn; QML must still hear of it on the transform's own thread.
    void lookAtRotationIsSignalledOnItsOwnThread() {
        EngineTest::SceneView scene(R"(Item { Viewport { anchors.fill: parent; camera: cam; renderOnDemand: true
            Transform { localPosition: Qt.vector3d(0, 0, -5); PerspectiveCamera { id: cam } }
            LookAtTransform { objectName: "eye"; targetPosition: Qt.vector3d(0, 0, 10)
                MeshRenderer { mesh: Mesh { id: lines; constructor: lines.newLinedConstructor().line(Qt.vector3d(0, 0, 0), Qt.vector3d(1, 0, 0)) }
                               material: VertexColorMaterial {} } } } })");
        QVERIFY(scene.ok());
        scene.grab();
        auto* eye = scene.find<LookAtTransform>("eye");
        std::mutex mutex;
        QVector<QThread*> threads;
        const QMetaObject::Connection connection = connect(eye, &LookAtTransform::localRotationChanged, this, [&] {
            std::lock_guard<std::mutex> lock(mutex);
            threads << QThread::currentThread();
        }, Qt::DirectConnection);
        for (int i = 1; i <= 3; ++i) {
            eye->setLocalPosition(QVector3D(float(i), 0, 0));
            scene.grab();
        }
        QTest::qWait(50);
        disconnect(connection);
        QVERIFY(threads.size() >= 3);
        for (QThread* thread : threads)
            QCOMPARE(thread, eye->thread());
    }

    void quaternionSingleton() {
        Quaternion q;
        // Pitch 90 is a rotation about X: +Y goes to +Z, laying an XY grid flat in XZ.
        QCOMPARE_VEC(q.fromEulerAngles(90, 0, 0).rotatedVector(QVector3D(0, 1, 0)), QVector3D(0, 0, 1));
        QCOMPARE_VEC(q.multiply(q.fromAxisAndAngle(0, 0, 1, 90), QVector3D(1, 0, 0)), QVector3D(0, 1, 0));
        const QQuaternion a(1, 2, 3, 4), b(0.5, -1, 0, 2);
        QCOMPARE(q.substract(a, b), QQuaternion(0.5, 3, 3, 2));
        QCOMPARE(q.multiply(a, 2.0), QQuaternion(2, 4, 6, 8));
        // Hamilton product (1 + 2i + 3j + 4k)(0.5 - i + 0j + 2k), worked out by hand.
        QCOMPARE(q.multiply(a, b), QQuaternion(-5.5, 6, -6.5, 7));
        QCOMPARE(q.getSquaredLength(a), 30.0);
        QVERIFY(q.equal(q.normalize(a), a / std::sqrt(30.0f)));
        QCOMPARE(q.getVector(a), QVector3D(2, 3, 4));
        QCOMPARE(q.toVector4D(a), QVector4D(2, 3, 4, 1));
        QCOMPARE(q.conjugate(a), QQuaternion(1, -2, -3, -4));
    }
};

QTEST_MAIN(TransformTest)
#include "transform_test.moc"
