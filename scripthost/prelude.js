// The engine's globals, evaluated before every program. The function is
// called with the global object as `this` and the run as B, and returns what
// the engine needs later. Everything it defines may be replaced by the
// program, as any global may; HIGH, LOW and GND are constant. A learner's
// slip (a text for a number, a missing argument, a call where a function is
// wanted) is answered with an error that names the member and what it takes.
(function (B) {
  'use strict';
  var G = this;
  var ids = new WeakMap();
  var K = { rep: [] };
  Object.defineProperty(G, ' kb', { value: K });
  function def(name, value) {
    Object.defineProperty(G, name, { value: value, writable: true, configurable: true, enumerable: false });
  }
  function constant(name, value) {
    Object.defineProperty(G, name, { value: value, writable: false, configurable: false, enumerable: false });
  }
  constant('HIGH', 1);
  constant('LOW', 0);
  constant('GND', -1);

  function pinOf(n, where) {
    var v = Number(n);
    if (v === -1 || (Number.isInteger(v) && v >= 0 && v < 20)) return v;
    throw new RangeError(where + ': there is no pin ' + String(n) + ' (pins are 0 to 19, and GND)');
  }
  function shown(v) {
    return typeof v === 'string' ? '"' + v + '"' : String(v);
  }
  // A number, or a text that holds one; anything else is the learner's slip.
  function numberOf(v) {
    if (typeof v === 'number') return v;
    if (typeof v === 'string' && v.trim() !== '') return Number(v);
    return NaN;
  }
  // The engine's own fill() runs to its end without looking at Stop or the
  // memory watch; this one is an ordinary loop, which both can interrupt.
  function integer(v) { v = Number(v); return isNaN(v) ? 0 : Math.trunc(v); }
  Object.defineProperty(Array.prototype, 'fill', { writable: true, configurable: true, enumerable: false,
    value: function fill(value, start, end) {
      var o = Object(this), len = o.length >>> 0;
      var k = integer(start), last = end === undefined ? len : integer(end);
      k = k < 0 ? Math.max(len + k, 0) : Math.min(k, len);
      last = last < 0 ? Math.max(len + last, 0) : Math.min(last, len);
      for (; k < last; k++) o[k] = value;
      return o;
    } });
  def('pin', function pin(n) { return pinOf(n, 'pin()'); });
  def('digitalWrite', function digitalWrite(n, level) {
    var p = pinOf(n, 'digitalWrite()');
    if (p === -1) throw new RangeError('digitalWrite(): GND cannot be switched');
    if (arguments.length < 2)
      throw new TypeError('digitalWrite() takes a pin and HIGH or LOW, not only a pin');
    if (level !== 1 && level !== 0 && level !== true && level !== false)
      throw new TypeError('digitalWrite() takes HIGH or LOW, not ' + shown(level));
    B.digitalWrite(p, !!level);
  });
  def('delay', function delay(ms) {
    if (arguments.length < 1)
      throw new TypeError('delay() takes the time to wait in milliseconds, and none was given');
    var v = numberOf(ms);
    if (isNaN(v)) throw new TypeError('delay() takes a number of milliseconds, not ' + shown(ms));
    if (v < 0) throw new RangeError('delay() takes a time that is not negative, not ' + shown(ms));
    B.delay(v);
  });

  // The engine's objects answer a misspelt name with an error, never with
  // undefined: a learner's typo must not pass in silence. Their own members
  // are plain accessors; only a name they lack reaches the guard in their
  // prototype. (A proxy trap that Stop interrupts can crash the engine, so
  // none may sit on the path of ordinary reads and writes.) Symbols and the
  // names every object has (toString, valueOf, ...) pass through.
  function guarded(name) {
    return Object.create(new Proxy(Object.prototype, {
      get: function (t, key, receiver) {
        if (typeof key === 'symbol' || key in t) return Reflect.get(t, key, receiver);
        if (key === 'toJSON' || key === 'then') return undefined; // probed by JSON and promises
        throw new TypeError(name + ' has no property "' + String(key) + '"');
      },
      set: function (t, key) {
        if (typeof key !== 'symbol' && key in t)
          throw new TypeError(name + '.' + String(key) + ' is read-only');
        throw new TypeError(name + ' has no property "' + String(key) + '"');
      }
    }));
  }
  function readOnly(name, key) {
    return function () { throw new TypeError(name + '.' + key + ' is read-only'); };
  }

  var Keyboard = guarded('Keyboard');
  ['IsUp', 'IsDown', 'IsFire'].forEach(function (n, i) {
    Object.defineProperty(Keyboard, n, { enumerable: true, get: function () { return B.key(i); },
                                         set: readOnly('Keyboard', n) });
  });
  Object.defineProperty(Keyboard, 'toString', { value: function () { return '[object Keyboard]'; } });
  def('Keyboard', Object.freeze(Keyboard));

  def('createRepeater', function createRepeater(interval) {
    if (arguments.length > 0 && isNaN(numberOf(interval)))
      throw new TypeError('createRepeater() takes an interval in microseconds, not ' + shown(interval));
    var id = B.addRepeater(numberOf(interval));
    var r = guarded('the repeater');
    Object.defineProperty(r, 'OnInterval', { enumerable: true,
      get: function () { return K.rep[id] || null; },
      set: function (f) {
        // undefined is what `OnInterval = tick();` hands over: the result
        // of a call, not the function. Only null clears the event.
        if (f !== null && typeof f !== 'function')
          throw new TypeError('OnInterval takes a function, not ' + shown(f)
                              + (f === undefined ? ' (name the function without calling it: OnInterval = tick;)' : ''));
        K.rep[id] = f || null;
        B.setRepeaterActive(id, !!f);
      } });
    Object.defineProperty(r, 'Interval', { enumerable: true,
      get: function () { return B.repeaterInterval(id); },
      set: function (v) { B.setRepeaterInterval(id, Number(v)); } });
    Object.defineProperty(r, 'Enabled', { enumerable: true,
      get: function () { return B.repeaterEnabled(id); },
      set: function (v) { B.setRepeaterEnabled(id, !!v); } });
    Object.defineProperty(r, 'toString', { value: function () { return '[object Repeater]'; } });
    return Object.freeze(r);
  });

  function text(args) {
    return Array.prototype.map.call(args, function (v) {
      if (typeof v === 'string') return v;
      if (v !== null && typeof v === 'object' && !ids.has(v)) {
        try { var j = JSON.stringify(v); if (j !== undefined) return j; } catch (e) { }
      }
      return String(v);
    }).join(' ');
  }
  function log() { B.message(text(arguments)); }
  def('console', Object.freeze({ log: log, info: log, warn: log, error: log, debug: log }));
  def('print', log);

  function wrap(id, name, props, indexes, writable, methods) {
    var t = guarded(name);
    props.forEach(function (p, i) {
      var idx = indexes[i];
      Object.defineProperty(t, p, { enumerable: true,
        get: function () { return B.get(id, idx); },
        set: writable[i] ? function (v) { B.set(id, idx, v); }
                         : readOnly(name, p) });
    });
    methods.forEach(function (m) {
      var f = function () { return B.call(id, m, Array.prototype.slice.call(arguments)); };
      Object.defineProperty(t, m, { get: function () { return f; }, set: readOnly(name, m) });
    });
    Object.defineProperty(t, 'toString', { value: function () { return '[object ' + name + ']'; } });
    Object.freeze(t);
    ids.set(t, id);
    return t;
  }
  function functions(id, names) {
    names.forEach(function (m) {
      def(m, function () { return B.call(id, m, Array.prototype.slice.call(arguments)); });
    });
  }
  return {
    rep: K.rep,
    wrap: wrap,
    functions: functions,
    define: def,
    idOf: function (v) { var id = ids.get(v); return id === undefined ? -1 : id; }
  };
})
