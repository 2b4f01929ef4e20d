#!/usr/bin/env python3
"""Writes the two tracks of scenarios/replay_track.xml: a carrier approach to
CVN-68 flown with a few deviations (high, then low, right of the line), the
trap on wire 3 and the run-out, and the ship's own recorded path.

    python3 scenarios/tracks/make_replay_tracks.py

The geometry follows the carrier list entry of CVN-68 in
scenarios/simroot/Gauges/ZEB_Carrier.xml (3.5 degree slope, deck angled 9
degrees, aim point X=-6 Z=-90 at 19 m) and a CG height of 2 m."""
import math
import os

R = 6371000.0
KT = 1852.0 / 3600.0
NM = 1852.0
HERE = os.path.dirname(os.path.abspath(__file__))

SHIP_LAT0, SHIP_LON0 = 36.80, -75.40
SHIP_HEADING0, SHIP_YAW = 90.0, 0.02  # degrees, degrees per second
SHIP_SPEED = 20.0 * KT
GS, RWY = 3.5, 9.0
AIM_X, AIM_Z, DECK_Y, CG = -6.0, -90.0, 19.0, 2.0
CLOSURE = 120.0 * KT
D0 = 3.0 * NM
T_TOUCH = None


def move(lat, lon, course_deg, dist):
    lat, lon, c, d = map(math.radians, (lat, lon, course_deg, 0))
    delta = dist / R
    lat2 = math.asin(math.sin(lat) * math.cos(delta) + math.cos(lat) * math.sin(delta) * math.cos(c))
    lon2 = lon + math.atan2(math.sin(c) * math.sin(delta) * math.cos(lat), math.cos(delta) - math.sin(lat) * math.sin(lat2))
    return math.degrees(lat2), math.degrees(lon2)


def offset(lat, lon, north, east):
    return lat + math.degrees(north / R), lon + math.degrees(east / (R * math.cos(math.radians(lat))))


def ship(t):
    """Ship position and heading at t (integrated along its turning course)."""
    lat, lon, h = SHIP_LAT0, SHIP_LON0, SHIP_HEADING0
    steps = int(t / 0.1)
    for _ in range(steps):
        lat, lon = move(lat, lon, h, SHIP_SPEED * 0.1)
        h += SHIP_YAW * 0.1
    rest = t - steps * 0.1
    lat, lon = move(lat, lon, h, SHIP_SPEED * rest)
    return lat, lon, h + SHIP_YAW * rest


def deviation(d_nm):
    """Glide-slope deviation (degrees) and lateral offset (m) at a range."""
    def bump(x, a, b, ramp):
        if x <= a - ramp or x >= b + ramp:
            return 0.0
        if x < a:
            return (x - (a - ramp)) / ramp
        if x > b:
            return ((b + ramp) - x) / ramp
        return 1.0
    gs = 0.9 * bump(d_nm, 0.55, 0.9, 0.1) - 0.8 * bump(d_nm, 0.38, 0.5, 0.04)
    lateral = 30.0 * bump(d_nm, 0.5, 1.2, 0.08)
    return gs, lateral


def main():
    b = CG / math.tan(math.radians(GS))
    ref_x = AIM_X - math.sin(math.radians(RWY)) * b
    ref_z = AIM_Z + math.cos(math.radians(RWY)) * b
    t_touch = (D0 - 0.0) / CLOSURE
    rows = []
    t = 0.0
    run_out = 2.0
    while t <= t_touch + 10.0 + 1e-9:
        slat, slon, sh = ship(t)
        psi = math.radians(sh)
        theta = math.radians(sh - RWY)
        if t < t_touch:
            d = D0 - CLOSURE * t
            gs_dev, lateral = deviation(d / NM)
            along = -d
            alt = DECK_Y + d * math.tan(math.radians(GS + gs_dev))
            on_ground, wire, speed = 0, 0, 140.0
        else:
            # On deck: the wire stops the aircraft relative to the ship within run_out seconds.
            tau = min(t - t_touch, run_out)
            along = CLOSURE * (tau - tau * tau / (2 * run_out)) - b
            lateral, alt = 0.0, DECK_Y + CG
            on_ground, wire = 1, 3
            rel = CLOSURE * max(0.0, 1 - (t - t_touch) / run_out)
            speed = (rel + SHIP_SPEED * math.cos(math.radians(RWY))) / KT
        # Ship frame point of the reference, then along/lateral in the landing frame.
        n = ref_z * math.cos(psi) - ref_x * math.sin(psi)
        e = ref_z * math.sin(psi) + ref_x * math.cos(psi)
        n += along * math.cos(theta) - lateral * math.sin(theta)
        e += along * math.sin(theta) + lateral * math.cos(theta)
        lat, lon = offset(slat, slon, n, e)
        rows.append((t, lat, lon, alt / 0.3048, speed, on_ground, wire))
        t = round(t + 0.1, 6)
    with open(os.path.join(HERE, "cvn68_approach.csv"), "w") as f:
        f.write("# A recorded approach to CVN-68: high at 3/4 nm, low at 1/2 nm, right of the line\n")
        f.write("# until 1/2 nm, trap on wire 3. Written by make_replay_tracks.py.\n")
        f.write("time_s,latitude_deg,longitude_deg,altitude_ft,heading_deg,speed_kt,gear_pct,hook_pct,on_ground,aoa_deg,wire\n")
        for i, (t, lat, lon, alt, speed, on_ground, wire) in enumerate(rows):
            j = min(i + 1, len(rows) - 1)
            k = max(j - 1, 0) if j == i else i
            (la1, lo1), (la2, lo2) = rows[k][1:3], rows[j][1:3]
            heading = math.degrees(math.atan2(math.radians(lo2 - lo1) * math.cos(math.radians(la1)),
                                              math.radians(la2 - la1))) % 360.0
            if on_ground and rows[i][4] < 25:
                heading = (ship(t)[2] - RWY) % 360.0
            aoa = 8.1 if not on_ground else 2.0
            f.write(f"{t:.1f},{lat:.8f},{lon:.8f},{alt:.1f},{heading:.2f},{speed:.1f},100,100,{on_ground},{aoa:.1f},{wire}\n")
    with open(os.path.join(HERE, "cvn68_ship.csv"), "w") as f:
        f.write("# CVN-68 as recorded: 20 kt, turning slowly to starboard. Written by make_replay_tracks.py.\n")
        f.write("time_s,latitude_deg,longitude_deg,altitude_ft,heading_deg,speed_kt,gear_pct,hook_pct,on_ground\n")
        t = 0.0
        while t <= rows[-1][0] + 1e-9:
            lat, lon, h = ship(t)
            f.write(f"{t:.1f},{lat:.8f},{lon:.8f},0,{h % 360.0:.3f},20.0,0,0,0\n")
            t = round(t + 1.0, 6)


if __name__ == "__main__":
    main()
