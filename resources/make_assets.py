#!/usr/bin/env python3
"""Generate the resource assets of UpDate.exe.

Writes into resources/assets/ (next to this script):

  unit.xml            unit-conversion table shipped as the update payload
                      (GB2312, CRLF, exactly 23,698 bytes)
  product.bmp         72x72 24-bit product picture
  icon_30001.bin ..   raw RT_ICON resource data, one file per icon image
  icon_30014.bin
  icon_group.bin      raw RT_GROUP_ICON resource data for the 14 images
  UpDate.ico          the same icon as a regular .ico file, for viewing

Rerun with

    python3 resources/make_assets.py [--preview DIR]

from the repository root or anywhere else; paths are resolved relative to
this script.  Output is deterministic.  --preview DIR additionally writes
product_preview.png and icon_preview.png into DIR (keep those out of the repo).

Standard library only.
"""

import math
import os
import struct
import sys
import xml.etree.ElementTree as ET
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
ASSETS = os.path.join(HERE, "assets")

UNIT_XML_SIZE = 23698


# ---------------------------------------------------------------------------
# unit.xml
# ---------------------------------------------------------------------------
#
# Every category lists its SI base unit first (factor 1).  A factor converts
# one unit into the base unit.  Remarks are "classification，note"; the note
# part is optional and is what gets trimmed to hit the payload size.
#
# (tag, factor, chn, remark, note)

UNITS = [
    ("Length", [
        ("m", "1", "米", "国际单位制基本单位", ""),
        ("km", "1000", "千米", "国际单位制", "俗称公里"),
        ("dm", "0.1", "分米", "国际单位制", ""),
        ("cm", "0.01", "厘米", "国际单位制", ""),
        ("mm", "0.001", "毫米", "国际单位制", "工程图纸常用"),
        ("um", "1E-06", "微米", "国际单位制", "micron"),
        ("nm", "1E-09", "纳米", "国际单位制", ""),
        ("in", "0.0254", "英寸", "英制单位", "1 in = 25.4 mm"),
        ("ft", "0.3048", "英尺", "英制单位", "1 ft = 12 in"),
        ("yd", "0.9144", "码", "英制单位", "1 yd = 3 ft"),
        ("mile", "1609.344", "英里", "英制单位", "1 mile = 5280 ft"),
        ("nmi", "1852", "海里", "国际海里", "航海、航空用"),
        ("mil", "2.54E-05", "密耳", "英制单位", "1 mil = 0.001 in"),
        ("fathom", "1.8288", "英寻", "英制单位", "1 fathom = 6 ft"),
        ("usft", "0.304800609601219", "美国测量英尺", "美制单位",
         "1 usft = 1200/3937 m"),
        ("li", "500", "市里", "市制单位", "1 里 = 150 丈"),
        ("chi", "0.333333333333333", "市尺", "市制单位", "1 米 = 3 市尺"),
    ]),
    ("Area", [
        ("m2", "1", "平方米", "国际单位制导出单位", ""),
        ("km2", "1000000", "平方千米", "国际单位制", ""),
        ("ha", "10000", "公顷", "法定计量单位", "1 ha = 10000 m2"),
        ("cm2", "0.0001", "平方厘米", "国际单位制", ""),
        ("mm2", "1E-06", "平方毫米", "国际单位制", "截面积常用"),
        ("in2", "0.00064516", "平方英寸", "英制单位", ""),
        ("ft2", "0.09290304", "平方英尺", "英制单位", "1 ft2 = 144 in2"),
        ("yd2", "0.83612736", "平方码", "英制单位", "1 yd2 = 9 ft2"),
        ("mi2", "2589988.110336", "平方英里", "英制单位", "1 mi2 = 640 acre"),
        ("acre", "4046.8564224", "英亩", "英制单位", "1 acre = 43560 ft2"),
        ("mu", "666.666666666667", "亩", "市制单位", "1 亩 = 60 平方丈"),
    ]),
    ("Volume", [
        ("m3", "1", "立方米", "国际单位制导出单位", ""),
        ("dm3", "0.001", "立方分米", "国际单位制", ""),
        ("cm3", "1E-06", "立方厘米", "国际单位制", "cc"),
        ("L", "0.001", "升", "法定计量单位", "1 L = 1 dm3"),
        ("mL", "1E-06", "毫升", "法定计量单位", ""),
        ("in3", "1.6387064E-05", "立方英寸", "英制单位", ""),
        ("ft3", "0.028316846592", "立方英尺", "英制单位", "1 ft3 = 1728 in3"),
        ("yd3", "0.764554857984", "立方码", "英制单位", "1 yd3 = 27 ft3"),
        ("gal", "0.003785411784", "美制加仑", "美制单位", "1 gal = 231 in3"),
        ("galUK", "0.00454609", "英制加仑", "英制单位", "1 gal(UK) = 4.54609 L"),
        ("qt", "0.000946352946", "美制夸脱", "美制单位", "1 qt = 1/4 gal"),
        ("floz", "2.95735295625E-05", "美制液量盎司", "美制单位", "1 gal = 128 fl oz"),
        ("bbl", "0.158987294928", "桶", "美制石油桶", "1 bbl = 42 gal"),
        ("acre.ft", "1233.48183754752", "英亩英尺", "美制单位", "水利工程用"),
    ]),
    ("Mass", [
        ("kg", "1", "千克", "国际单位制基本单位", "俗称公斤"),
        ("g", "0.001", "克", "国际单位制", ""),
        ("mg", "1E-06", "毫克", "国际单位制", ""),
        ("t", "1000", "吨", "法定计量单位", "公吨"),
        ("lb", "0.45359237", "磅", "英制单位", "常衡磅"),
        ("oz", "0.028349523125", "盎司", "英制单位", "1 lb = 16 oz"),
        ("gr", "6.479891E-05", "格令", "英制单位", "1 lb = 7000 gr"),
        ("ton", "907.18474", "短吨", "美制单位", "1 ton = 2000 lb"),
        ("tonUK", "1016.0469088", "长吨", "英制单位", "1 ton(UK) = 2240 lb"),
        ("slug", "14.5939029372064", "斯勒格", "英制工程单位", "1 slug = 1 lbf.s2/ft"),
        ("jin", "0.5", "市斤", "市制单位", "1 斤 = 10 两"),
    ]),
    ("Force", [
        ("N", "1", "牛顿", "国际单位制导出单位", "1 N = 1 kg.m/s2"),
        ("kN", "1000", "千牛", "国际单位制", ""),
        ("MN", "1000000", "兆牛", "国际单位制", ""),
        ("dyn", "1E-05", "达因", "CGS制单位", ""),
        ("kgf", "9.80665", "千克力", "工程单位制", "俗称公斤力"),
        ("tf", "9806.65", "吨力", "工程单位制", ""),
        ("lbf", "4.4482216152605", "磅力", "英制单位", ""),
        ("ozf", "0.278013850953781", "盎司力", "英制单位", "1 lbf = 16 ozf"),
        ("kip", "4448.2216152605", "千磅力", "美制单位", "1 kip = 1000 lbf"),
        ("pdl", "0.138254954376", "磅达", "英制绝对单位", "1 pdl = 1 lb.ft/s2"),
    ]),
    ("Pressure", [
        ("Pa", "1", "帕斯卡", "国际单位制导出单位", "1 Pa = 1 N/m2"),
        ("kPa", "1000", "千帕", "国际单位制", ""),
        ("MPa", "1000000", "兆帕", "国际单位制", "1 MPa = 1 N/mm2"),
        ("GPa", "1000000000", "吉帕", "国际单位制", "弹性模量常用"),
        ("bar", "100000", "巴", "非国际单位制", ""),
        ("atm", "101325", "标准大气压", "非国际单位制", "1 atm = 760 mmHg"),
        ("kgf/cm2", "98066.5", "千克力每平方厘米", "工程大气压", "1 at = 1 kgf/cm2"),
        ("psi", "6894.757293168", "磅力每平方英寸", "英制单位", "lbf/in2"),
        ("ksi", "6894757.293168", "千磅力每平方英寸", "美制单位", "1 ksi = 1000 psi"),
        ("psf", "47.880258980336", "磅力每平方英尺", "英制单位", "lbf/ft2"),
        ("mmHg", "133.322387415", "毫米汞柱", "非国际单位制", ""),
        ("inHg", "3386.388640341", "英寸汞柱", "英制单位", ""),
        ("mmH2O", "9.80665", "毫米水柱", "非国际单位制", ""),
        ("inH2O", "249.08891", "英寸水柱", "英制单位", "4 degC 水柱"),
    ]),
    ("Energy", [
        ("J", "1", "焦耳", "国际单位制导出单位", "1 J = 1 N.m"),
        ("kJ", "1000", "千焦", "国际单位制", ""),
        ("MJ", "1000000", "兆焦", "国际单位制", ""),
        ("kWh", "3600000", "千瓦时", "法定计量单位", "即电能1度"),
        ("cal", "4.1868", "卡", "国际蒸汽表卡", "cal(IT)"),
        ("kcal", "4186.8", "千卡", "国际蒸汽表卡", "1 kcal = 1000 cal"),
        ("Btu", "1055.05585262", "英制热单位", "英制单位", "Btu(IT)"),
        ("MMBtu", "1055055852.62", "百万英热单位", "美制单位", "天然气计价用"),
        ("therm", "105505585.262", "撒姆", "英制单位", "1 therm = 100000 Btu"),
        ("ft.lbf", "1.3558179483314", "英尺磅力", "英制单位", ""),
    ]),
    ("Power", [
        ("W", "1", "瓦特", "国际单位制导出单位", "1 W = 1 J/s"),
        ("kW", "1000", "千瓦", "国际单位制", ""),
        ("MW", "1000000", "兆瓦", "国际单位制", ""),
        ("hp", "745.69987158227", "英制马力", "英制单位", "1 hp = 550 ft.lbf/s"),
        ("PS", "735.49875", "公制马力", "工程单位制", "1 PS = 75 kgf.m/s"),
        ("Btu/h", "0.293071070172222", "英热单位每小时", "英制单位", ""),
        ("kcal/h", "1.163", "千卡每小时", "工程单位制", ""),
        ("RT", "3516.85284206667", "冷吨", "美制制冷单位", "1 RT = 12000 Btu/h"),
    ]),
    ("Density", [
        ("kg/m3", "1", "千克每立方米", "国际单位制导出单位", ""),
        ("g/cm3", "1000", "克每立方厘米", "国际单位制", ""),
        ("t/m3", "1000", "吨每立方米", "法定计量单位", ""),
        ("lb/ft3", "16.0184633739601", "磅每立方英尺", "英制单位", ""),
        ("lb/in3", "27679.9047102031", "磅每立方英寸", "英制单位", ""),
        ("lb/gal", "119.826427316897", "磅每美制加仑", "美制单位", "钻井液密度常用"),
    ]),
    ("Velocity", [
        ("m/s", "1", "米每秒", "国际单位制导出单位", ""),
        ("km/h", "0.277777777777778", "千米每小时", "法定计量单位", ""),
        ("m/min", "0.0166666666666667", "米每分", "法定计量单位", ""),
        ("ft/s", "0.3048", "英尺每秒", "英制单位", ""),
        ("ft/min", "0.00508", "英尺每分", "英制单位", ""),
        ("mph", "0.44704", "英里每小时", "英制单位", "1 mph = 1.609344 km/h"),
        ("kn", "0.514444444444444", "节", "航海单位", "1 kn = 1 nmi/h"),
    ]),
    ("Temperature", [
        ("K", "1", "开尔文", "国际单位制基本单位", "热力学温度"),
        ("degC", "1", "摄氏度", "温差换算", "t = T - 273.15"),
        ("degF", "0.555555555555556", "华氏度", "温差换算", "tF = 1.8t + 32"),
        ("degR", "0.555555555555556", "兰氏度", "温差换算", "兰金温标"),
    ]),
    ("Time", [
        ("s", "1", "秒", "国际单位制基本单位", ""),
        ("ms", "0.001", "毫秒", "国际单位制", ""),
        ("min", "60", "分", "法定计量单位", ""),
        ("h", "3600", "小时", "法定计量单位", ""),
        ("d", "86400", "天", "法定计量单位", ""),
        ("a", "31536000", "年", "按365天计", ""),
    ]),
    ("Angle", [
        ("rad", "1", "弧度", "国际单位制导出单位", ""),
        ("deg", "0.0174532925199433", "度", "法定计量单位", "1 deg = pi/180 rad"),
        ("grad", "0.015707963267949", "百分度", "非国际单位制", "1 rev = 400 grad"),
        ("rev", "6.28318530717959", "转", "周角", ""),
    ]),
    ("MassFlow", [
        ("kg/s", "1", "千克每秒", "国际单位制导出单位", ""),
        ("kg/h", "0.000277777777777778", "千克每小时", "法定计量单位", ""),
        ("t/h", "0.277777777777778", "吨每小时", "法定计量单位", ""),
        ("lb/s", "0.45359237", "磅每秒", "英制单位", ""),
        ("lb/h", "0.000125997880555556", "磅每小时", "英制单位", ""),
    ]),
    ("VolumeFlow", [
        ("m3/s", "1", "立方米每秒", "国际单位制导出单位", ""),
        ("m3/h", "0.000277777777777778", "立方米每小时", "法定计量单位", ""),
        ("L/s", "0.001", "升每秒", "法定计量单位", ""),
        ("ft3/min", "0.0004719474432", "立方英尺每分", "英制单位", "cfm"),
        ("gal/min", "6.30901964E-05", "美制加仑每分", "美制单位", "gpm"),
        ("bbl/d", "1.84013072833333E-06", "桶每天", "美制单位", "石油产量常用"),
    ]),
    ("Viscosity", [
        ("Pa.s", "1", "帕斯卡秒", "国际单位制导出单位", "动力粘度"),
        ("mPa.s", "0.001", "毫帕秒", "国际单位制", "1 mPa.s = 1 cP"),
        ("P", "0.1", "泊", "CGS制单位", ""),
        ("cP", "0.001", "厘泊", "CGS制单位", ""),
        ("lb/(ft.s)", "1.48816394356955", "磅每英尺秒", "英制单位", ""),
    ]),
    ("Torque", [
        ("N.m", "1", "牛米", "国际单位制导出单位", "力矩、扭矩"),
        ("kN.m", "1000", "千牛米", "国际单位制", ""),
        ("kgf.m", "9.80665", "千克力米", "工程单位制", ""),
        ("lbf.ft", "1.3558179483314", "磅力英尺", "英制单位", ""),
        ("lbf.in", "0.112984829027617", "磅力英寸", "英制单位", ""),
        ("kip.ft", "1355.8179483314", "千磅力英尺", "美制单位", ""),
    ]),
    ("Acceleration", [
        ("m/s2", "1", "米每二次方秒", "国际单位制导出单位", ""),
        ("cm/s2", "0.01", "厘米每二次方秒", "国际单位制", "即伽 (Gal)"),
        ("g0", "9.80665", "标准重力加速度", "非国际单位制", ""),
        ("ft/s2", "0.3048", "英尺每二次方秒", "英制单位", ""),
    ]),
    ("Frequency", [
        ("Hz", "1", "赫兹", "国际单位制导出单位", "1 Hz = 1 1/s"),
        ("kHz", "1000", "千赫", "国际单位制", ""),
        ("MHz", "1000000", "兆赫", "国际单位制", ""),
        ("rpm", "0.0166666666666667", "转每分", "法定计量单位", "转速常用"),
        ("rad/s", "0.159154943091895", "弧度每秒", "国际单位制", "角速度"),
    ]),
]

# Preferred unit per unit system:
# IS = SI, Eng = metric engineering (gravitational) system,
# UK = British imperial, CUS = US customary.
PREUNITS = [
    ("Length", "m", "m", "ft", "ft"),
    ("Area", "m2", "m2", "ft2", "ft2"),
    ("Volume", "m3", "m3", "ft3", "gal"),
    ("Mass", "kg", "kg", "lb", "lb"),
    ("Force", "N", "kgf", "lbf", "lbf"),
    ("Pressure", "Pa", "kgf/cm2", "psi", "psi"),
    ("Energy", "J", "kcal", "Btu", "Btu"),
    ("Power", "W", "PS", "hp", "hp"),
    ("Density", "kg/m3", "t/m3", "lb/ft3", "lb/ft3"),
    ("Velocity", "m/s", "m/s", "ft/s", "ft/s"),
    ("Temperature", "K", "degC", "degF", "degF"),
    ("Time", "s", "s", "s", "s"),
    ("Angle", "rad", "deg", "deg", "deg"),
    ("MassFlow", "kg/s", "t/h", "lb/h", "lb/h"),
    ("VolumeFlow", "m3/s", "m3/h", "ft3/min", "gal/min"),
    ("Viscosity", "Pa.s", "cP", "lb/(ft.s)", "cP"),
    ("Torque", "N.m", "kgf.m", "lbf.ft", "lbf.ft"),
    ("Acceleration", "m/s2", "m/s2", "ft/s2", "ft/s2"),
    ("Frequency", "Hz", "rpm", "rpm", "rpm"),
]

NL = "\r\n"
IND = "\t"


def _esc(s):
    return s.replace("&", "&amp;").replace("<", "&lt;").replace(">", "&gt;")


def _remark(entry, with_note):
    _, _, _, rem, note = entry
    if with_note and note:
        return rem + "，" + note if rem else note
    return rem


def unit_xml_text(keep_note):
    """keep_note(category_index, entry_index) -> bool"""
    out = ['<?xml version="1.0" encoding="gb2312" standalone="no"?>',
           "<aboutunits>", IND + "<Units>"]
    for ci, (cat, entries) in enumerate(UNITS):
        out.append(IND * 2 + "<%s>" % cat)
        for ei, e in enumerate(entries):
            tag, factor, chn = e[0], e[1], e[2]
            out.append(IND * 3 + "<A%d>" % ei)
            for name, val in (("tag", tag), ("factor", factor), ("chn", chn),
                              ("remark", _remark(e, keep_note(ci, ei)))):
                out.append(IND * 4 + "<%s>%s</%s>" % (name, _esc(val), name))
            out.append(IND * 3 + "</A%d>" % ei)
        out.append(IND * 2 + "</%s>" % cat)
    out.append(IND + "</Units>")
    out.append(IND + "<preunits>")
    for pi, row in enumerate(PREUNITS):
        out.append(IND * 2 + "<A%d>" % pi)
        for name, val in zip(("item", "IS", "Eng", "UK", "CUS"), row):
            out.append(IND * 3 + "<%s>%s</%s>" % (name, _esc(val), name))
        out.append(IND * 2 + "</A%d>" % pi)
    out.append(IND + "</preunits>")
    out.append("</aboutunits>")
    return NL.join(out) + NL


def build_unit_xml():
    full = unit_xml_text(lambda c, e: True).encode("gb2312")
    excess = len(full) - UNIT_XML_SIZE
    notes = []  # (bytes saved by dropping, (ci, ei))
    for ci, (_, entries) in enumerate(UNITS):
        for ei, e in enumerate(entries):
            if e[4]:
                saved = (len(_remark(e, True).encode("gb2312"))
                         - len(_remark(e, False).encode("gb2312")))
                notes.append((saved, (ci, ei)))
    if excess < 0:
        raise SystemExit("unit.xml: content too short by %d bytes" % -excess)
    # Drop as few notes as possible, preferring the ones late in the table
    # (the common units near the top keep their notes).
    best = {0: ()}
    for saved, key in reversed(notes):
        for s, picked in sorted(best.items()):
            t = s + saved
            if t <= excess and (t not in best or len(best[t]) > len(picked) + 1):
                best[t] = picked + (key,)
    if excess not in best:
        raise SystemExit("unit.xml: cannot trim %d bytes exactly" % excess)
    dropped = set(best[excess])
    data = unit_xml_text(lambda c, e: (c, e) not in dropped).encode("gb2312")
    if len(data) != UNIT_XML_SIZE:
        raise SystemExit("unit.xml is %d bytes, expected %d"
                         % (len(data), UNIT_XML_SIZE))
    return data, len(dropped), len(notes)


def check_unit_xml(data):
    text = data.decode("gb2312")
    assert "\n" not in text.replace("\r\n", "")
    assert text.startswith('<?xml version="1.0" encoding="gb2312" standalone="no"?>\r\n')
    root = ET.fromstring(text.split("?>", 1)[1])
    assert root.tag == "aboutunits" and [c.tag for c in root] == ["Units", "preunits"]
    tags = {}
    for cat in root.find("Units"):
        seen = []
        for i, e in enumerate(cat):
            assert e.tag == "A%d" % i
            assert [f.tag for f in e] == ["tag", "factor", "chn", "remark"]
            assert float(e.findtext("factor")) > 0
            seen.append(e.findtext("tag"))
        assert float(cat[0].findtext("factor")) == 1.0, cat.tag
        assert len(set(seen)) == len(seen), cat.tag
        tags[cat.tag] = set(seen)
    for i, p in enumerate(root.find("preunits")):
        assert p.tag == "A%d" % i
        assert [f.tag for f in p] == ["item", "IS", "Eng", "UK", "CUS"]
        for f in list(p)[1:]:
            assert f.text in tags[p.findtext("item")], (p.findtext("item"), f.text)
    return root


# ---------------------------------------------------------------------------
# Small vector rasteriser
# ---------------------------------------------------------------------------
#
# Shapes are signed-distance functions in pixel units (negative inside).
# Pixels well inside or outside a shape are classified from the distance at
# their centre; only pixels near an edge are supersampled.

class Canvas:
    SS = 6  # supersampling grid per edge pixel

    def __init__(self, w, h):
        self.w, self.h = w, h
        self.px = [[0.0, 0.0, 0.0, 0.0] for _ in range(w * h)]  # premultiplied

    def _bbox(self, bbox):
        if bbox is None:
            return 0, 0, self.w, self.h
        x0, y0, x1, y1 = bbox
        return (max(0, int(math.floor(x0)) - 1), max(0, int(math.floor(y0)) - 1),
                min(self.w, int(math.ceil(x1)) + 1), min(self.h, int(math.ceil(y1)) + 1))

    def _blend(self, i, j, col, a):
        p = self.px[j * self.w + i]
        k = 1.0 - a
        p[0] = col[0] * a + p[0] * k
        p[1] = col[1] * a + p[1] * k
        p[2] = col[2] * a + p[2] * k
        p[3] = a + p[3] * k

    def fill(self, sdf, color, bbox=None, alpha=1.0):
        n = self.SS
        offs = [(k + 0.5) / n for k in range(n)]
        inv = 1.0 / (n * n)
        x0, y0, x1, y1 = self._bbox(bbox)
        for j in range(y0, y1):
            for i in range(x0, x1):
                d = sdf(i + 0.5, j + 0.5)
                if d >= 0.75:
                    continue
                if d <= -0.75:
                    cov = 1.0
                else:
                    hits = 0
                    for oy in offs:
                        for ox in offs:
                            if sdf(i + ox, j + oy) < 0:
                                hits += 1
                    if not hits:
                        continue
                    cov = hits * inv
                col = color(i + 0.5, j + 0.5) if callable(color) else color
                self._blend(i, j, col, cov * alpha * (col[3] if len(col) > 3 else 1.0))

    def soft(self, sdf, color, blur, alpha, bbox=None):
        """Blurred fill (drop shadows)."""
        x0, y0, x1, y1 = self._bbox(bbox)
        for j in range(y0, y1):
            for i in range(x0, x1):
                d = sdf(i + 0.5, j + 0.5)
                if d >= blur:
                    continue
                t = min(1.0, (blur - d) / (2.0 * blur))
                self._blend(i, j, color, alpha * t * t * (3 - 2 * t))

    def rgba8(self):
        """Straight (non-premultiplied) 8-bit RGBA rows, top-down."""
        rows = []
        for j in range(self.h):
            row = []
            for i in range(self.w):
                r, g, b, a = self.px[j * self.w + i]
                a8 = _u8(a)
                if a8 == 0:
                    row.append((0, 0, 0, 0))
                    continue
                row.append((_u8(r / a), _u8(g / a), _u8(b / a), a8))
            rows.append(row)
        return rows


def _u8(v):
    return max(0, min(255, int(v * 255.0 + 0.5)))


def sd_rrect(x0, y0, x1, y1, r):
    cx, cy, hx, hy = (x0 + x1) / 2.0, (y0 + y1) / 2.0, (x1 - x0) / 2.0, (y1 - y0) / 2.0

    def f(x, y):
        qx = abs(x - cx) - hx + r
        qy = abs(y - cy) - hy + r
        outside = math.hypot(max(qx, 0.0), max(qy, 0.0))
        return outside + min(max(qx, qy), 0.0) - r
    return f


def sd_polygon(pts):
    """Convex polygon, any winding."""
    area = sum(pts[k][0] * pts[k - 1][1] - pts[k - 1][0] * pts[k][1]
               for k in range(len(pts)))
    sgn = -1.0 if area > 0 else 1.0
    edges = []
    for k in range(len(pts)):
        ax, ay = pts[k - 1]
        bx, by = pts[k]
        nx, ny = (by - ay) * sgn, -(bx - ax) * sgn
        ln = math.hypot(nx, ny)
        nx, ny = nx / ln, ny / ln
        edges.append((nx, ny, nx * ax + ny * ay))

    def f(x, y):
        return max(nx * x + ny * y - c for nx, ny, c in edges)
    return f


def sd_arc(cx, cy, R, w, a0, a1):
    """Ring segment of radius R and width w from angle a0 to a1 (radians,
    increasing = clockwise on screen), butt ends."""
    span = a1 - a0
    h = w / 2.0
    ends = []
    for a in (a0, a1):
        ends.append((math.cos(a), math.sin(a)))

    def f(x, y):
        dx, dy = x - cx, y - cy
        rr = math.hypot(dx, dy)
        t = (math.atan2(dy, dx) - a0) % (2 * math.pi)
        if t <= span:
            return abs(rr - R) - h
        best = 1e9
        for ux, uy in ends:
            s = max(R - h, min(R + h, dx * ux + dy * uy))
            best = min(best, math.hypot(dx - s * ux, dy - s * uy))
        return best
    return f


def sd_intersect(*fs):
    return lambda x, y: max(f(x, y) for f in fs)


def sd_union(*fs):
    return lambda x, y: min(f(x, y) for f in fs)


def sd_offset(f, dx, dy):
    return lambda x, y: f(x - dx, y - dy)


def vgradient(y0, c0, y1, c1):
    def col(x, y):
        t = min(1.0, max(0.0, (y - y0) / (y1 - y0)))
        return tuple(a + (b - a) * t for a, b in zip(c0, c1)) + (1.0,)
    return col


# ---------------------------------------------------------------------------
# The motif: blue rounded tile, white circular "update" arrows, yellow ruler
# ---------------------------------------------------------------------------

def _rgb(h):
    return tuple(int(h[k:k + 2], 16) / 255.0 for k in (0, 2, 4))


THEMES = {
    "full": dict(
        border=_rgb("0F468F"), tile_top=_rgb("4A9CF0"), tile_bot=_rgb("1A5FC8"),
        arrow=_rgb("FFFFFF"), ruler_top=_rgb("FFDC5A"), ruler_bot=_rgb("F7B626"),
        ruler_edge=_rgb("B87A0A"), tick=_rgb("5C3F06"), gradient=True),
    # 16-colour version: plain VGA colours, no gradients
    "vga": dict(
        border=_rgb("000080"), tile_top=_rgb("0000FF"), tile_bot=_rgb("0000FF"),
        arrow=_rgb("FFFFFF"), ruler_top=_rgb("FFFF00"), ruler_bot=_rgb("FFFF00"),
        ruler_edge=_rgb("808000"), tick=_rgb("000000"), gradient=False),
}


# arcs of the circular arrows, (start, end) in degrees clockwise from 3 o'clock;
# each gets an arrowhead at its end
TWO_ARROWS = ((152, 292), (332, 472))


def geometry(S):
    """Layout in pixels for an S x S image.  16 and 32 are hand-fitted to the
    pixel grid; larger sizes scale a common layout."""
    if S == 16:
        return dict(
            tile=(0, 0, 16, 16, 3.0), border=1.0, shadow=0, gloss=False,
            ring=(8.0, 6.5, 4.0, 2.0), head=(2.5, 2.5, 2.5), arcs=((160, 270), (340, 450)),
            ruler=(2.0, 12.0, 14.0, 15.0, 0.0), ruler_edge=0.0,
            ticks=[(x, 1, 2 if k % 2 == 0 else 1) for k, x in
                   enumerate((3, 5, 7, 9, 11))])
    if S == 32:
        return dict(
            tile=(1, 1, 31, 31, 6.0), border=1.0, shadow=0, gloss=False,
            ring=(16.0, 13.0, 7.5, 3.0), head=(4.5, 4.5, 5.0), arcs=((145, 260), (325, 440)),
            ruler=(4.0, 22.0, 28.0, 29.0, 1.0), ruler_edge=1.0,
            ticks=[(x, 1, 3 if k % 2 == 0 else 2) for k, x in
                   enumerate(range(7, 27, 3))])
    return scaled_geometry(0.0, 0.0, float(S))


def scaled_geometry(ox, oy, side):
    """The common layout, drawn on a 256-unit grid, placed in the square
    (ox, oy, side).  Straight edges are rounded to whole pixels."""
    u = side / 256.0

    def X(v):
        return float(round(ox + v * u))

    def Y(v):
        return float(round(oy + v * u))

    ticks = []
    tw = max(1.0, float(round(5 * u)))
    for k in range(0, 13, 1 if side >= 64 else 2):  # half the marks when small
        hgt = max(1.0, float(round((26 if k % 4 == 0 else 17 if k % 2 == 0 else 11) * u)))
        ticks.append((X(56 + k * 12 - 2.5), tw, hgt))
    return dict(
        tile=(X(14), Y(12), X(242), Y(240), 50 * u),
        border=max(1.0, float(round(4 * u))),
        shadow=side / 64.0, gloss=side >= 64,
        ring=(ox + 128 * u, oy + 104 * u, 60 * u, 23 * u), head=(27 * u, 27 * u, 36 * u),
        arcs=TWO_ARROWS,
        ruler=(X(40), Y(176), X(216), Y(222), 7 * u),
        ruler_edge=max(1.0, float(round(3 * u))),
        ticks=ticks)


def draw_motif(cv, S, theme="full", geo=None):
    th = THEMES[theme]
    g = geo or geometry(S)
    tx0, ty0, tx1, ty1, tr = g["tile"]
    tile = sd_rrect(tx0, ty0, tx1, ty1, tr)
    tb = (tx0, ty0, tx1, ty1)

    sh = g["shadow"]  # shadow size unit in pixels, 0 = flat
    shadow_col = (0.03, 0.12, 0.35)
    if sh:
        cv.soft(sd_offset(tile, 0, 1.5 * sh), (0.02, 0.08, 0.2), 1.6 * sh, 0.45,
                (tx0 - 3 * sh, ty0, tx1 + 3 * sh, ty1 + 4 * sh))

    # tile with a darker rim
    cv.fill(tile, th["border"], tb)
    b = g["border"]
    inner = sd_rrect(tx0 + b, ty0 + b, tx1 - b, ty1 - b, max(0.5, tr - b))
    cv.fill(inner, vgradient(ty0, th["tile_top"], ty1, th["tile_bot"])
            if th["gradient"] else th["tile_top"], tb)
    if g["gloss"]:
        hl = sd_intersect(inner, lambda x, y: y - (ty0 + (ty1 - ty0) * 0.42))
        cv.fill(hl, (1.0, 1.0, 1.0), tb, alpha=0.10)

    # circular arrows, heads pointing clockwise
    cx, cy, R, w = g["ring"]
    head_in, head_out, head_len = g["head"]
    parts = []
    for start, end in g["arcs"]:
        start, end = math.radians(start), math.radians(end)
        arc = sd_arc(cx, cy, R, w, start, end + 0.02)
        ux, uy = math.cos(end), math.sin(end)
        ta = end + head_len / R
        tip = (cx + R * math.cos(ta), cy + R * math.sin(ta))
        base_in = (cx + (R - head_in) * ux, cy + (R - head_in) * uy)
        base_out = (cx + (R + head_out) * ux, cy + (R + head_out) * uy)
        parts += [arc, sd_polygon([base_in, base_out, tip])]
    arrows = sd_union(*parts)
    reach = R + max(w / 2, head_in, head_out) + 2 + sh
    rb = (cx - reach, cy - reach, cx + reach, cy + reach)
    if sh:
        cv.fill(sd_offset(arrows, 0, 0.8 * sh), shadow_col, rb, alpha=0.30)
    cv.fill(arrows, th["arrow"], rb)

    # ruler with graduations hanging from its top edge
    rx0, ry0, rx1, ry1, rr = g["ruler"]
    rbb = (rx0, ry0, rx1, ry1 + sh)
    if sh:
        cv.fill(sd_offset(sd_rrect(rx0, ry0, rx1, ry1, rr), 0, 0.8 * sh),
                shadow_col, rbb, alpha=0.30)
    e = g["ruler_edge"]
    if e:
        cv.fill(sd_rrect(rx0, ry0, rx1, ry1, rr), th["ruler_edge"], rbb)
    body = sd_rrect(rx0 + e, ry0 + e, rx1 - e, ry1 - e, max(0.3, rr - e))
    cv.fill(body, vgradient(ry0, th["ruler_top"], ry1, th["ruler_bot"])
            if th["gradient"] else th["ruler_top"], rbb)
    for x, tw, hgt in g["ticks"]:
        cv.fill(sd_rrect(x, ry0 + e, x + tw, ry0 + e + hgt, 0.0), th["tick"],
                (x, ry0, x + tw, ry0 + e + hgt))


def render_icon(S, theme="full"):
    cv = Canvas(S, S)
    draw_motif(cv, S, theme)
    return cv.rgba8()


def render_product():
    S = 72
    cv = Canvas(S, S)
    bg = vgradient(0, _rgb("F6F9FC"), S, _rgb("DCE6F0"))
    cv.fill(lambda x, y: -1e9, bg)
    g = scaled_geometry(4.0, 5.0, 64.0)
    draw_motif(cv, S, "full", g)
    return cv.rgba8()


# ---------------------------------------------------------------------------
# File formats
# ---------------------------------------------------------------------------

def png_bytes(rows):
    h, w = len(rows), len(rows[0])

    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data
                + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))

    raw = bytearray()
    prev = bytes(w * 4)
    for row in rows:
        cur = bytes(c for px in row for c in px)
        best = None
        for ft in range(5):
            line = _png_filter(ft, cur, prev)
            score = sum(v if v < 128 else 256 - v for v in line)
            if best is None or score < best[0]:
                best = (score, ft, line)
        raw.append(best[1])
        raw += best[2]
        prev = cur
    ihdr = struct.pack(">IIBBBBB", w, h, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", ihdr)
            + chunk(b"IDAT", zlib.compress(bytes(raw), 9)) + chunk(b"IEND", b""))


def _png_filter(ft, cur, prev, bpp=4):
    out = bytearray(len(cur))
    for i in range(len(cur)):
        a = cur[i - bpp] if i >= bpp else 0
        b = prev[i]
        c = prev[i - bpp] if i >= bpp else 0
        if ft == 0:
            pred = 0
        elif ft == 1:
            pred = a
        elif ft == 2:
            pred = b
        elif ft == 3:
            pred = (a + b) >> 1
        else:
            p = a + b - c
            pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
            pred = a if pa <= pb and pa <= pc else b if pb <= pc else c
        out[i] = (cur[i] - pred) & 0xFF
    return bytes(out)


def png_decode_rgba(data):
    """Decoder for the PNGs written above (8-bit RGBA, no interlace)."""
    assert data[:8] == b"\x89PNG\r\n\x1a\n"
    pos, idat, w = 8, b"", 0
    while pos < len(data):
        ln, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + ln]
        crc, = struct.unpack(">I", data[pos + 8 + ln:pos + 12 + ln])
        assert crc == zlib.crc32(kind + body) & 0xFFFFFFFF, kind
        if kind == b"IHDR":
            w, h, depth, ctype, _, _, inter = struct.unpack(">IIBBBBB", body)
            assert (depth, ctype, inter) == (8, 6, 0)
        elif kind == b"IDAT":
            idat += body
        pos += 12 + ln
    raw = zlib.decompress(idat)
    stride = w * 4
    rows, prev = [], bytearray(stride)
    for j in range(h):
        ft = raw[j * (stride + 1)]
        line = bytearray(raw[j * (stride + 1) + 1:(j + 1) * (stride + 1)])
        for i in range(stride):
            a = line[i - 4] if i >= 4 else 0
            b = prev[i]
            c = prev[i - 4] if i >= 4 else 0
            if ft == 1:
                line[i] = (line[i] + a) & 0xFF
            elif ft == 2:
                line[i] = (line[i] + b) & 0xFF
            elif ft == 3:
                line[i] = (line[i] + ((a + b) >> 1)) & 0xFF
            elif ft == 4:
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                line[i] = (line[i] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 0xFF
        rows.append([tuple(line[i:i + 4]) for i in range(0, stride, 4)])
        prev = line
    return rows


def bmp24_bytes(rows):
    h, w = len(rows), len(rows[0])
    stride = (w * 3 + 3) & ~3
    pix = bytearray()
    for row in reversed(rows):
        line = bytearray()
        for r, g, b, _ in row:
            line += bytes((b, g, r))
        pix += line + bytes(stride - len(line))
    info = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 24, 0, len(pix),
                       11808, 11808, 0, 0)
    head = struct.pack("<2sIHHI", b"BM", 14 + len(info) + len(pix), 0, 0, 14 + len(info))
    return head + info + bytes(pix)


# standard 16-colour VGA palette, Windows index order (RGB)
VGA16 = [(0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
         (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
         (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
         (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255)]


def palette256():
    """6x6x6 colour cube, a 12-step grey ramp and 28 colours of the icon
    itself (tile and ruler gradients), so the 256-colour images do not band."""
    pal = [(r * 51, g * 51, b * 51) for r in range(6) for g in range(6) for b in range(6)]
    pal += [(v, v, v) for v in (int(round(k * 255 / 13.0)) for k in range(1, 13))]
    th = THEMES["full"]

    def mix(a, b, t):
        return tuple(_u8(x + (y - x) * t) for x, y in zip(a, b))
    pal += [mix(th["tile_top"], th["tile_bot"], k / 11.0) for k in range(12)]
    glossed = mix(th["tile_top"], (1.0, 1.0, 1.0), 0.1)
    pal += [mix([v / 255.0 for v in glossed], th["tile_bot"], k / 12.0) for k in range(6)]
    pal += [mix(th["ruler_top"], th["ruler_bot"], k / 4.0) for k in range(5)]
    pal += [mix(c, (0, 0, 0), 0.0) for c in (th["border"], th["ruler_edge"], th["tick"])]
    pal += [mix(th["tile_bot"], th["border"], 0.5), mix(th["tile_top"], (1, 1, 1), 0.5)]
    assert len(pal) == 256
    return pal


def _nearest(pal, cache, c):
    idx = cache.get(c)
    if idx is None:
        r, g, b = c
        best = None
        for k, (pr, pg, pb) in enumerate(pal):
            # weighted RGB distance, roughly perceptual
            rm = (r + pr) / 2.0
            d = ((2 + rm / 256) * (r - pr) ** 2 + 4 * (g - pg) ** 2
                 + (2 + (255 - rm) / 256) * (b - pb) ** 2)
            if best is None or d < best:
                best, idx = d, k
        cache[c] = idx
    return idx


ALPHA_CUT = 128


def _and_mask(rows):
    w = len(rows[0])
    stride = ((w + 31) // 32) * 4
    out = bytearray()
    for row in reversed(rows):
        line = bytearray(stride)
        for i, px in enumerate(row):
            if px[3] < ALPHA_CUT:
                line[i >> 3] |= 0x80 >> (i & 7)
        out += line
    return bytes(out)


def icon_dib(rows, bpp):
    h, w = len(rows), len(rows[0])
    mask = _and_mask(rows)
    if bpp == 32:
        pal = b""
        xor = bytearray()
        for row in reversed(rows):
            for r, g, b, a in row:
                xor += bytes((b, g, r, a)) if a else bytes(4)
        clr_used = 0
    else:
        colours = VGA16 if bpp == 4 else palette256()
        pal = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in colours)
        cache = {}
        stride = ((w * bpp + 31) // 32) * 4
        xor = bytearray()
        for row in reversed(rows):
            idx = [_nearest(colours, cache, px[:3]) if px[3] >= ALPHA_CUT else 0
                   for px in row]
            line = bytearray(stride)
            if bpp == 8:
                line[:w] = bytes(idx)
            else:
                for i, v in enumerate(idx):
                    line[i >> 1] |= v << (4 if i % 2 == 0 else 0)
            xor += line
        clr_used = len(colours)
    info = struct.pack("<IiiHHIIiiII", 40, w, 2 * h, 1, bpp, 0,
                       len(xor) + len(mask), 0, 0, clr_used, 0)
    return info + pal + bytes(xor) + mask


def dib_decode_rgba(blob):
    """Back to RGBA rows (top-down), as Windows would show it on a background."""
    (size, w, h2, planes, bpp, comp, simg, _, _, used, _) = struct.unpack(
        "<IiiHHIIiiII", blob[:40])
    h = h2 // 2
    pos = 40
    pal = []
    for k in range(used):
        b, g, r, _ = blob[pos + 4 * k:pos + 4 * k + 4]
        pal.append((r, g, b))
    pos += 4 * used
    stride = ((w * bpp + 31) // 32) * 4
    xor = blob[pos:pos + stride * h]
    mstride = ((w + 31) // 32) * 4
    mask = blob[pos + stride * h:]
    assert len(mask) == mstride * h and simg == len(xor) + len(mask)
    rows = []
    for j in range(h - 1, -1, -1):
        line, mline, row = xor[j * stride:(j + 1) * stride], mask[j * mstride:(j + 1) * mstride], []
        for i in range(w):
            transparent = mline[i >> 3] & (0x80 >> (i & 7))
            if bpp == 32:
                b, g, r, a = line[4 * i:4 * i + 4]
                row.append((r, g, b, a))
                continue
            v = line[i] if bpp == 8 else (line[i >> 1] >> (4 if i % 2 == 0 else 0)) & 15
            row.append((0, 0, 0, 0) if transparent else pal[v] + (255,))
        rows.append(row)
    return rows


ICON_LAYOUT = [(48, 4), (32, 4), (16, 4), (48, 8), (32, 8), (16, 8), (256, 32),
               (128, 32), (96, 32), (72, 32), (64, 32), (48, 32), (32, 32), (16, 32)]
ICON_BASE_ID = 30000


def build_icons():
    renders = {}
    images = []
    for n, (S, bpp) in enumerate(ICON_LAYOUT, 1):
        theme = "vga" if bpp == 4 else "full"
        if (S, theme) not in renders:
            renders[(S, theme)] = render_icon(S, theme)
        rows = renders[(S, theme)]
        blob = png_bytes(rows) if S == 256 else icon_dib(rows, bpp)
        images.append((ICON_BASE_ID + n, S, bpp, blob))
    group = struct.pack("<HHH", 0, 1, len(images))
    ico_dir = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    ico_data = b""
    for rid, S, bpp, blob in images:
        wb = S if S < 256 else 0
        cc = 16 if bpp == 4 else 0
        group += struct.pack("<BBBBHHIH", wb, wb, cc, 0, 1, bpp, len(blob), rid)
        ico_dir += struct.pack("<BBBBHHII", wb, wb, cc, 0, 1, bpp, len(blob), offset)
        offset += len(blob)
        ico_data += blob
    return images, renders, group, ico_dir + ico_data


# ---------------------------------------------------------------------------
# Previews (not part of the build)
# ---------------------------------------------------------------------------

def preview_sheet(images):
    """All icon images side by side on a checkerboard, small ones enlarged."""
    tiles = []
    for rid, S, bpp, blob in images:
        rows = png_decode_rgba(blob) if S == 256 else dib_decode_rgba(blob)
        k = max(1, 128 // S) if S <= 64 else 1
        tiles.append([[row[i // k] for i in range(S * k)] for row in rows for _ in range(k)])
    pad = 8
    W = sum(len(t[0]) + pad for t in tiles) + pad
    H = max(len(t) for t in tiles) + 2 * pad
    sheet = [[(235, 235, 235, 255) if ((i // 8 + j // 8) % 2) else (255, 255, 255, 255)
              for i in range(W)] for j in range(H)]
    x = pad
    for t in tiles:
        for j, row in enumerate(t):
            for i, (r, g, b, a) in enumerate(row):
                br, bg_, bb, _ = sheet[pad + j][x + i]
                f = a / 255.0
                sheet[pad + j][x + i] = (int(r * f + br * (1 - f) + 0.5),
                                         int(g * f + bg_ * (1 - f) + 0.5),
                                         int(b * f + bb * (1 - f) + 0.5), 255)
        x += len(t[0]) + pad
    return sheet


def check_binaries(bmp, images, renders, group, ico):
    """Re-read what was written, field by field, the way Windows will."""
    magic, size, _, _, off = struct.unpack("<2sIHHI", bmp[:14])
    hdr = struct.unpack("<IiiHHIIiiII", bmp[14:54])
    assert (magic, size, off) == (b"BM", len(bmp), 54)
    assert hdr == (40, 72, 72, 1, 24, 0, 72 * 216, 11808, 11808, 0, 0), hdr

    assert struct.unpack("<HHH", group[:6]) == (0, 1, 14)
    assert struct.unpack("<HHH", ico[:6]) == (0, 1, 14)
    assert len(group) == 6 + 14 * 14
    for n, (rid, S, bpp, blob) in enumerate(images):
        ent = struct.unpack("<BBBBHHIH", group[6 + 14 * n:20 + 14 * n])
        w8 = S % 256
        assert ent == (w8, w8, 16 if bpp == 4 else 0, 0, 1, bpp, len(blob), 30001 + n), ent
        fe = struct.unpack("<BBBBHHII", ico[6 + 16 * n:22 + 16 * n])
        assert fe[:7] == ent[:7] and ico[fe[7]:fe[7] + fe[6]] == blob
        if S == 256:
            assert blob[12:16] == b"IHDR" and struct.unpack(">II", blob[16:24]) == (256, 256)
            assert blob[-12:] == b"\0\0\0\0IEND\xaeB`\x82"
            decoded = png_decode_rgba(blob)
        else:
            h = struct.unpack("<IiiHHIIiiII", blob[:40])
            stride = ((S * bpp + 31) // 32) * 4
            simg = stride * S + ((S + 31) // 32) * 4 * S
            assert h == (40, S, 2 * S, 1, bpp, 0, simg, 0, 0,
                         {4: 16, 8: 256, 32: 0}[bpp], 0), (rid, h)
            assert len(blob) == 40 + 4 * h[9] + simg
            decoded = dib_decode_rgba(blob)
        src = renders[(S, "vga" if bpp == 4 else "full")]
        for drow, srow in zip(decoded, src):
            for d, s_ in zip(drow, srow):
                if bpp == 32:
                    assert d == s_, rid
                else:  # mask follows alpha; colour comes from the palette
                    assert (d[3] == 255) == (s_[3] >= ALPHA_CUT), rid
    assert len(ico) == 6 + 16 * 14 + sum(len(i[3]) for i in images)


def write(path, data):
    with open(path, "wb") as f:
        f.write(data)
    print("%-22s %7d bytes" % (os.path.relpath(path, os.path.dirname(HERE)), len(data)))


def main(argv):
    preview = None
    if len(argv) >= 2 and argv[0] == "--preview":
        preview = argv[1]
    os.makedirs(ASSETS, exist_ok=True)

    xml, dropped, total_notes = build_unit_xml()
    check_unit_xml(xml)
    write(os.path.join(ASSETS, "unit.xml"), xml)

    product = render_product()
    bmp = bmp24_bytes(product)
    write(os.path.join(ASSETS, "product.bmp"), bmp)

    images, renders, group, ico = build_icons()
    for rid, S, bpp, blob in images:
        write(os.path.join(ASSETS, "icon_%d.bin" % rid), blob)
    write(os.path.join(ASSETS, "icon_group.bin"), group)
    write(os.path.join(ASSETS, "UpDate.ico"), ico)

    check_binaries(bmp, images, renders, group, ico)

    if preview:
        os.makedirs(preview, exist_ok=True)
        big = [[px for px in row for _ in range(4)] for row in product for _ in range(4)]
        with open(os.path.join(preview, "product_preview.png"), "wb") as f:
            f.write(png_bytes(big))
        with open(os.path.join(preview, "icon_preview.png"), "wb") as f:
            f.write(png_bytes(preview_sheet(images)))
        print("previews written to", preview)
    print("unit.xml: %d of %d optional notes left out to fit %d bytes"
          % (dropped, total_notes, UNIT_XML_SIZE))


if __name__ == "__main__":
    main(sys.argv[1:])
