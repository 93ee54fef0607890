import QtQuick 2.15
import QtTest 1.15
import OrbOpenGlEngine 1.0

// The singleton's overloads as QML resolves them.
TestCase {
    name: "Quaternion"

    function fuzzy(a, b) { return Math.abs(a - b) < 1e-5 }

    function test_overloadsByArgumentTypes() {
        var q = Quaternion.fromAxisAndAngle(Qt.vector3d(0, 0, 1), 90)
        var rotated = Quaternion.multiply(q, Qt.vector3d(1, 0, 0))
        verify(fuzzy(rotated.x, 0) && fuzzy(rotated.y, 1), "q * vector rotates")
        var scaled = Quaternion.multiply(Quaternion.create(1, 2, 3, 4), 2)
        compare(scaled.scalar, 2)
        compare(scaled.z, 8)
        var product = Quaternion.multiply(q, q)  // two quarter turns about Z
        var half = Quaternion.getRotatedVector(product, Qt.vector3d(1, 0, 0))
        verify(fuzzy(half.x, -1) && fuzzy(half.y, 0))
        var same = Quaternion.fromAxisAndAngle(0, 0, 1, 90)
        verify(Quaternion.equal(q, same))
        compare(Quaternion.create(2, Qt.vector3d(1, 0, 0)).scalar, 2)
        compare(Quaternion.create(Qt.vector4d(1, 2, 3, 4)).scalar, 4)
    }

    function test_pitchLaysYOntoZ() {
        var v = Quaternion.getRotatedVector(Quaternion.fromEulerAngles(90, 0, 0), Qt.vector3d(0, 1, 0))
        verify(fuzzy(v.x, 0) && fuzzy(v.y, 0) && fuzzy(v.z, 1), v.toString())
        var e = Quaternion.toEulerAngles(Quaternion.fromEulerAngles(Qt.vector3d(10, 20, 30)))
        verify(fuzzy(e.x, 10) && fuzzy(e.y, 20) && fuzzy(e.z, 30), e.toString())
    }
}
