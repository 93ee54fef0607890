.pragma library
// The rules of KUITextEdit as plain functions.

var Integer = "Integer";
var Double = "Double";
var String = "String";

function isNumber(value) {
    return typeof value === "number" && !isNaN(value);
}

// Range editing: a numeric value, a non-empty range and a numeric type.
function rangeEditing(value, minValue, maxValue, type) {
    return isNumber(value) && minValue < maxValue && (type === Integer || type === Double);
}

// Knob position of `value` in min..max, clamped to 0..1.
function knobPosition(value, minValue, maxValue) {
    var position = (value - minValue) / (maxValue - minValue);
    return Math.min(1, Math.max(0, position));
}

// Value at knob `position` (0..1); rounded for Integer.
function valueAtPosition(position, minValue, maxValue, type) {
    var value = minValue + (maxValue - minValue) * position;
    return type === Integer ? Math.round(value) : value;
}

function outsideRange(value, minValue, maxValue, type) {
    return rangeEditing(value, minValue, maxValue, type) && (value < minValue || value > maxValue);
}

// The typed `text` checked for a commit: { ok, value, message }. A number must be written in
// full (an Integer as whole digits) and, when the field has a range (minValue < maxValue), lie
// inside it; otherwise `ok` is false and `message` says what is allowed. A String takes any text.
function validate(text, type, minValue, maxValue, maximumDecimalDigits) {
    if (type !== Integer && type !== Double)
        return { ok: true, value: text, message: "" };
    var ranged = minValue < maxValue;
    var allowed = ranged ? "allowed: " + textFromValue(minValue, type, maximumDecimalDigits) + " to "
                           + textFromValue(maxValue, type, maximumDecimalDigits)
                         : "";
    var pattern = type === Integer ? /^\s*[+-]?\d+\s*$/ : /^\s*[+-]?(\d+\.?\d*|\.\d+)([eE][+-]?\d+)?\s*$/;
    if (!pattern.test(text)) {
        var what = type === Integer ? "not a whole number" : "not a number";
        return { ok: false, value: undefined, message: ranged ? what + "; " + allowed : what };
    }
    var value = type === Integer ? parseInt(text, 10) : parseFloat(text);
    if (ranged && (value < minValue || value > maxValue))
        return { ok: false, value: value, message: allowed };
    return { ok: true, value: value, message: "" };
}

// The text shown for `value`.
function textFromValue(value, type, maximumDecimalDigits) {
    if (value === undefined)
        return "";
    if (type === Double) {
        if (!isNumber(value))
            return "";
        if (Math.round(value) === value)
            return value.toFixed(0);
        var text = value.toFixed(maximumDecimalDigits);
        if (text.indexOf(".") >= 0)
            text = text.replace(/0+$/, "").replace(/\.$/, "");
        return text;
    }
    if (type === Integer) {
        if (!isNumber(value))
            return "";
        return Math.round(value).toFixed(0);
    }
    return "" + value;
}
