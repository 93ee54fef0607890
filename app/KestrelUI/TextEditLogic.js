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

// The value typed as `text`: a number for Double and Integer (0 when unparsable), else the text.
function parseTyped(text, type) {
    if (type === Double) {
        var d = parseFloat(text);
        return isNaN(d) ? 0 : d;
    }
    if (type === Integer) {
        var i = parseInt(text, 10);
        return isNaN(i) ? 0 : i;
    }
    return text;
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
