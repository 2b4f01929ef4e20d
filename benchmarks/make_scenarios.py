#!/usr/bin/env python3
"""Writes the scenarios of the whole-run benchmark into benchmarks/scenarios/.

Every scenario has the six gauges placed and NAV1 tuned to the ship on the
third second, so the carrier stays tuned for the whole run: the aircraft
follows the ship 6 nm astern at 3000 ft, closing at 5 kt (1 nm in 12 minutes).

  soak_60s.xml, soak_120s.xml                 the soak at 60 frames/s, three boats, for
  soak_10min.xml, soak_1h.xml                 callgrind (the difference of the two) and the whole run
  boats_10.xml, boats_100.xml, boats_1000.xml the same for 10 simulated minutes with
                                              that many boats (all under way)

Run it again after changing it; the files it writes are committed.
"""
import math
import os

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, "scenarios")

HEAD = """<?xml version="1.0"?>
<!-- Written by benchmarks/make_scenarios.py: edit that, not this file. -->
<runscript name="{name}">
  <description>{description}</description>
  <simulator root="../../scenarios/simroot" local_time="50400"/>

  <panel>
    <gauge name="Tacan_Navigation" parameters="NAV1"/>
    <gauge name="Radio_TACAN_ARN52B"/>
    <gauge name="Aircraft_Carrier_Indicator"/>
    <gauge name="CustomCatapult"/>
    <gauge name="Approach_Ctrl" parameters="9.5"/>
    <gauge name="Close_Subpanel" parameters="tRADIO_STACK_PANEL"/>
  </panel>

  <world>
    <container title="SH-60 Seahawk Plane Guard"/>
    <container title="FLOLS Ashore Fresnel Lens"/>
    <boat title="Carrier Nimitz CVN-68" latitude="36.80" longitude="-75.40" heading="90" speed="20"/>
    <boat title="Carrier Nimitz CVN-68" latitude="37.20" longitude="-75.10" heading="180" speed="15"/>
    <boat title="Carrier Kitty Hawk CV-63" latitude="36.50" longitude="-75.20" heading="45" speed="18"/>
{boats}    <set var="MAGVAR" unit="degrees" value="-10.5"/>
    <set var="STATIC CG TO GROUND" unit="meters" value="2.0"/>
    <set var="ENGINE TYPE" unit="enum" value="1"/>
    <aircraft relative_to="Carrier Nimitz CVN-68" bearing="180" distance="6.0"
              altitude="3000" heading="90" speed="25" vertical_speed="0" on_ground="0"/>
  </world>

  <run rate="60" end="{end}">
    <event name="Tune NAV1 to TACAN 74X" time="2.0">
      <key event="NAV1_RADIO_SET" value="0x11270"/>
    </event>
  </run>
</runscript>
"""


def extra_boats(count):
    """`count` more boats (beyond the three) on a grid around the carriers, under way."""
    lines = []
    side = max(1, math.ceil(math.sqrt(count)))
    for i in range(count):
        lat = 36.0 + 1.6 * (i // side) / side
        lon = -76.2 + 1.6 * (i % side) / side
        heading = (37 * i) % 360
        speed = 5 + (i % 15)
        lines.append(f'    <boat title="Cargo Ship {i + 1}" latitude="{lat:.4f}" longitude="{lon:.4f}" '
                     f'heading="{heading}" speed="{speed}"/>\n')
    return "".join(lines)


def write(file_name, name, description, end, boats=0):
    text = HEAD.format(name=name, description=description, end=end, boats=extra_boats(boats))
    with open(os.path.join(OUT, file_name), "w") as f:
        f.write(text)


os.makedirs(OUT, exist_ok=True)
for file_name, end, label in (("soak_60s.xml", 60, "one minute"), ("soak_120s.xml", 120, "two minutes"),
                              ("soak_10min.xml", 600, "ten minutes"),
                              ("soak_1h.xml", 3600, "one hour")):
    write(file_name, f"Soak, {label} at 60 frames/s",
          f"The six gauges, three boats, the carrier tuned for {label}.", end)
for count in (10, 100, 1000):
    write(f"boats_{count}.xml", f"{count} boats, ten minutes at 60 frames/s",
          f"The six gauges, the carrier tuned, {count} boats under way.", 600, boats=count - 3)


# The flown world: the same six gauges and the carrier tuned by its NAV1
# frequency, and the aircraft flown by the flight model and the scenario
# autopilot round and round: an approach from 2.5 nm with a deviation or two
# for the officer, the trap, hook up, a catapult (1 and 2 in turn), the launch
# input, the climb out, the next approach. One cycle every CYCLE seconds.
FLOWN_HEAD = """<?xml version="1.0"?>
<!-- Written by benchmarks/make_scenarios.py: edit that, not this file. -->
<runscript name="{name}">
  <description>{description}</description>
  <simulator root="../../scenarios/simroot" local_time="50400"/>

  <panel>
    <gauge name="Tacan_Navigation" parameters="NAV1"/>
    <gauge name="Radio_TACAN_ARN52B"/>
    <gauge name="Aircraft_Carrier_Indicator"/>
    <gauge name="CustomCatapult"/>
    <gauge name="Approach_Ctrl" parameters="9.5"/>
    <gauge name="Close_Subpanel" parameters="tRADIO_STACK_PANEL"/>
  </panel>

  <world>
    <container title="SH-60 Seahawk Plane Guard"/>
    <container title="FLOLS Ashore Fresnel Lens"/>
    <set var="MAGVAR" unit="degrees" value="-10.5"/>
    <set var="ENGINE TYPE" unit="enum" value="1"/>
    <wind from="45" speed="12"/>
    <boat title="Carrier Nimitz CVN-68" latitude="36.80" longitude="-75.40" heading="60" speed="20"/>
    <boat title="Carrier Nimitz CVN-68" latitude="37.20" longitude="-75.10" heading="180" speed="15"/>
    <boat title="Carrier Kitty Hawk CV-63" latitude="36.50" longitude="-75.20" heading="45" speed="18"/>
    <deck_model boat="Carrier Nimitz CVN-68" model="nimitz"/>
    <set var="BLAST SHIELD POSITION:1" unit="percent" value="100" object="Carrier Nimitz CVN-68"/>
    <turn_into_wind boat="Carrier Nimitz CVN-68" rate="1.0" wind_over_deck="30"/>
    <aircraft relative_to="Carrier Nimitz CVN-68" bearing="240" distance="4.0"
              altitude="1500" heading="60" speed="140" vertical_speed="0" on_ground="0"/>
  </world>

  <run rate="60" end="{end}">
    <event name="Tune NAV1 to TACAN 74X" time="1.0">
      <key event="NAV1_RADIO_SET" value="0x11270"/>
    </event>
{events}  </run>
</runscript>
"""

FLOWN_START = 5.0      # the first approach
FLOWN_CYCLE = 120.0    # approach, trap, catapult, launch, climb out
DECK = "Carrier Nimitz CVN-68"
# (glide, line) deviations per cycle, in turn: high, low, left, right.
DEVIATIONS = (("0.8", "0"), ("-0.6", "0"), ("0", "1.6"), ("0", "-1.4"))


def flown_cycle(k, t0, trap_done):
    glide, line = DEVIATIONS[k % len(DEVIATIONS)]
    catapult = 1 + k % 2
    t = lambda dt: f"{t0 + dt:.1f}"
    return f"""    <event name="Approach {k + 1}" time="{t(0)}">
      <flight deck="{DECK}" distance="2.5" speed="140" hook="1" gear="1">
        <deviation from="0.70" to="0.45" glide="{glide}" line="{line}"/>
      </flight>
    </event>
    <event name="Hook up after trap {k + 1}" time="{t(trap_done)}">
      <flight action="controls" hook="0"/>
    </event>
    <event name="On catapult {catapult}, launch {k + 1}" time="{t(trap_done + 2)}">
      <flight action="catapult" deck="{DECK}" number="{catapult}" throttle="100"/>
      <set var="HOLDBACK BAR INSTALLED" unit="bool" value="1"/>
      <set var="LAUNCHBAR POSITION" unit="percent" value="100"/>
      <set var="BRAKE PARKING INDICATOR" unit="bool" value="0"/>
    </event>
    <event name="Ready for launch {k + 1}" time="{t(trap_done + 6)}">
      <input definition="joystick:0:button:3" value="1"/>
    </event>
    <event name="Launch button released {k + 1}" time="{t(trap_done + 7)}">
      <input definition="joystick:0:button:3" value="0"/>
    </event>
"""


def write_flown(file_name, name, description, end, trap_done=85.0):
    events = []
    k = 0
    while FLOWN_START + k * FLOWN_CYCLE + trap_done + 8 < end:
        events.append(flown_cycle(k, FLOWN_START + k * FLOWN_CYCLE, trap_done))
        k += 1
    text = FLOWN_HEAD.format(name=name, description=description, end=end, events="".join(events))
    with open(os.path.join(OUT, file_name), "w") as f:
        f.write(text)
    return k


for file_name, end, label in (("flown_2min.xml", 120, "two minutes"), ("flown_4min.xml", 240, "four minutes"),
                              ("flown_10min.xml", 600, "ten minutes"), ("flown_1h.xml", 3600, "one hour")):
    write_flown(file_name, f"Flown world, {label} at 60 frames/s",
                f"The six gauges, the carrier tuned, the aircraft flown for {label}: approach with a deviation, "
                f"trap, hook up, catapult, launch, climb out, again every {FLOWN_CYCLE:.0f} s.", end)
