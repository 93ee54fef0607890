// The QML module: names, order and kinds of the registered types, and the plug-in.
#include "TestScene.h"

#include "engine/MaterialProperties.h"
#include "engine/OrbOpenGlEnginePlugin.h"
#include "engine/Registration.h"

#include <QTest>
#include <QtQml>

using namespace KestrelQt3DEngine;

class RegistrationTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { registerTypes(); }

    void typesAreRegisteredInTableOrder() {
        const char* const names[] = {"Viewport", "Transform", "LookAtTransform", "MatrixTransform", "Shader", "Material",
                                     "OGLTexture", "MeshRenderer", "ObjectRepeater", "Container", "Quaternion", "Raycaster",
                                     "OrtogonalCamera", "PerspectiveCamera", "MaterialProperties", "TextureFilter",
                                     "TextureFormat", "TexturePixelFormat", "TexturePixelType", "Anchor2D", "Mesh",
                                     "PickingMeshRenderer", "BytesTextureConstructor",
                                     "ImageTextureConstructor", "RgbaTextureConstructor"};
        int previous = -1;
        for (const char* name : names) {
            const int id = qmlTypeId("OrbOpenGlEngine", 1, 0, name);
            QVERIFY2(id > previous, name);
            previous = id;
        }
        QCOMPARE(qmlTypeId("OrbOpenGlEngine", 1, 0, "OrthogonalCamera"), -1);
    }

    void uncreatableTypesSayWhy() {
        QQmlEngine engine;
        QQmlComponent component(&engine);
        component.setData("import OrbOpenGlEngine 1.0\nMaterialProperties {}", QUrl("qrc:/test/Uncreatable.qml"));
        QVERIFY(component.isError());
        QVERIFY2(component.errorString().contains("Not create this!"), qPrintable(component.errorString()));
    }

    void chainedSlotsReturnUsablePointers() {
        QQmlEngine engine;
        std::unique_ptr<QObject> object(EngineTest::createObject(engine, R"(
Material { id: m; property var p: m.newMaterialProperties().setBlendState(true).setDepthMask(false) })"));
        QVERIFY(object);
        auto* properties = qvariant_cast<QObject*>(object->property("p"));
        QVERIFY(properties);
        QCOMPARE(properties->metaObject()->className(), "KestrelQt3DEngine::MaterialProperties");
        auto* typed = qobject_cast<MaterialProperties*>(properties);
        QVERIFY(typed->blendState());
        QVERIFY(!typed->depthMask());
    }

    void pluginRegistersTheCoreRowsUnderItsUri() {
        OrbOpenGlEnginePlugin plugin;
        plugin.registerTypes("OrbPluginTest");
        QQmlEngine engine;
        for (const char* name : {"Viewport", "Transform", "LookAtTransform", "Shader", "Material", "OGLTexture",
                                 "MeshRenderer", "ObjectRepeater", "Container", "Raycaster", "OrtogonalCamera",
                                 "PerspectiveCamera"}) {
            QQmlComponent component(&engine);
            component.setData(QByteArray("import OrbPluginTest 1.0\n") + name + " {}", QUrl("qrc:/test/Plugin.qml"));
            std::unique_ptr<QObject> object(component.create());
            QVERIFY2(object, qPrintable(component.errorString()));
        }
        QVERIFY(qmlTypeId("OrbPluginTest", 1, 0, "Quaternion") >= 0);
        QCOMPARE(qmlTypeId("OrbPluginTest", 1, 0, "MatrixTransform"), -1);
        QCOMPARE(qmlTypeId("OrbPluginTest", 1, 0, "Mesh"), -1);
        QCOMPARE(QString(plugin.metaObject()->className()), QString("KestrelQt3DEngine::OrbOpenGlEnginePlugin"));
    }
};

QTEST_MAIN(RegistrationTest)
#include "registration_test.moc"
