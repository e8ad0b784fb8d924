// The beacon types the plug-in acts on, with what each does and what its Optional holds. The
// stand-in host labels the beacons of its picture from it and the route authors' reference is
// printed from it; a test drives every type through the beacon router and fails when a type
// that changes anything has no row here, or a row names a type that changes nothing.
#pragma once

#include <cstdint>

namespace velqa3 {

struct BeaconTypeInfo {
    std::int32_t from, to; // the types of the row, both included
    const char* label;     // a few words for a picture: "ST speed check"
    const char* what;      // what the plug-in does with it, and when
    const char* optional;  // what its Optional holds; "-" when it holds nothing
    const char* whatJa;    // the same two in Japanese
    const char* optionalJa;
};

// Looked up in this order, so that a single type stands before the range it lies in.
inline constexpr BeaconTypeInfo kBeaconTypes[] = {
    {0, 0, "ST alarm (stop aspect)",
     "ATS-ST alarm: with Signal 0 (stop) the bell rings, and unless the driver confirms within "
     "5 s (host key S with the brake at or above the ATS notch) the emergency brake acts. Other "
     "aspects: nothing.",
     "-",
     "ATS-ST のロング地上子: Signal が 0 (停止現示) のとき警報ベルが鳴り、5 秒以内に確認扱い "
     "(ブレーキを ATS 確認ノッチ以上にして ATS キー S) をしないと非常ブレーキが掛かる。"
     "ほかの現示では何もしない。",
     "-"},
    {1, 1, "ST immediate stop (stop aspect)",
     "ATS-ST immediate stop: with Signal 0 the emergency brake acts at once, standing trains "
     "included. Other aspects: nothing.",
     "-",
     "ATS-ST の直下地上子: Signal が 0 のとき、停車中でもただちに非常ブレーキ。"
     "ほかの現示では何もしない。",
     "-"},
    {3, 3, "PT stop signal",
     "Only after a type-50 beacon with bit 0x20 or 0x100, and not during a type-68 hold: the "
     "pattern protection takes the stop point Distance m ahead when Signal is 0 and drops it "
     "otherwise. Without that bit: nothing.",
     "-",
     "0x20 か 0x100 のビットを持つ 50 番地上子のあとだけ (68 番の保留中は除く): "
     "Signal が 0 なら Distance m 先を停止点にし、ほかの現示なら停止点を消す。"
     "そのビットがなければ何もしない。",
     "-"},
    {4, 4, "PT signal",
     "In the aspect-table variant (mode bit 0x10): a speed limit from a track position. "
     "Otherwise, only after a type-50 beacon with bit 0x20 or 0x100 and not during a hold: a "
     "moving train less than 50 m (Distance) from the signal gets the emergency brake, whatever "
     "the aspect.",
     "aspect-table variant: P x 100 + S, a limit of S x 5 km/h from track position P m on "
     "(S 1..99); S = 0 ends the limit in force once the train has passed; negative: ignored",
     "信号現示表の方式 (モードの 0x10 のビット) では、線路上の位置から始まる速度制限。"
     "それ以外では、0x20 か 0x100 のビットを持つ 50 番地上子のあとだけ (保留中は除く): "
     "信号まで (Distance) 50 m 未満で走行中なら、現示にかかわらず非常ブレーキ。",
     "信号現示表の方式: P x 100 + S。距離程 P m から S x 5 km/h の制限 (S は 1..99)。"
     "S = 0 は、列車が通過しきったところで今の制限を終える。負の値は無視"},
    {8, 8, "stop station",
     "The train stops at the station ahead, and announcement sound channel Optional mod 5 is "
     "called.",
     "announcement channel n (n mod 5); negative: the beacon is ignored",
     "次の駅に停車することを知らせ、放送のサウンドチャンネル Optional mod 5 を鳴らす。",
     "放送チャンネル n (n mod 5)。負の値なら地上子ごと無視"},
    {9, 9, "station id",
     "Stores Optional as the id of the station ahead (sent in the stop datagram).", "station id",
     "Optional を次の駅の番号として覚える (停車データで送信)。", "駅の番号"},
    {10, 10, "ST speed check",
     "ATS-ST speed check: the emergency brake acts when the train is faster than the speed in "
     "Optional; it also starts a timing pair with a following type 11. Optional 0, or 10000 with "
     "Signal 0, only starts the pair.",
     "speed in 0.1 km/h; the tenths digit does not count (450 and 459 both brake above 45 km/h)",
     "ATS-ST の速度照査: Optional の速度を超えていれば非常ブレーキ。あとに続く 11 番との"
     "時間照査も始める。Optional が 0、または Signal 0 で 10000 なら時間照査を始めるだけ。",
     "0.1 km/h 単位の速度。小数点以下の桁は効かない (450 でも 459 でも 45 km/h "
     "を超えるとブレーキ)"},
    {11, 11, "ST pair end",
     "ATS-ST timing pair, second beacon: when it comes less than 0.5 s after the first (type 10 "
     "or 12), the emergency brake acts. A pair not completed within 1 s is forgotten.",
     "-",
     "ATS-ST の時間照査の 2 つ目: 1 つ目 (10 番か 12 番) から 0.5 秒未満で踏むと非常ブレーキ。"
     "1 秒以内に 2 つ目がなければ照査は取り消し。",
     "-"},
    {12, 12, "ST aspect check",
     "ATS-ST aspect-dependent check, only while mode bit 0x08 is set (lines whose line code "
     "has 0x08). On a line with both protections it is taken only inside pattern territory with "
     "Optional 10000 or more, and it clears the pattern's stop point.",
     "0: start a timing pair; 10000 + k: start a pair when Signal is k; 20000 + k: emergency "
     "brake when Signal is k and the speed is above 20, 30, 70, 90, 50, 70 km/h for k = 0..5 (0 "
     "for other k), and start a pair; 30000 + k: start a pair when Signal is k or less; other "
     "values: a speed check as type 10, and start a pair",
     "ATS-ST の現示別照査。モードの 0x08 のビット (線区コードに 0x08 を持つ線区) のときだけ。"
     "両方の ATS を持つ線区では、パターン区間内で Optional が 10000 以上のときだけ受け、"
     "パターンの停止点を消す。",
     "0: 時間照査を始める。10000 + k: Signal が k なら時間照査を始める。20000 + k: Signal が k で、"
     "速度が k = 0..5 に対して 20, 30, 70, 90, 50, 70 km/h (ほかの k は 0) を超えれば非常ブレーキ。"
     "時間照査も始める。30000 + k: Signal が k 以下なら時間照査を始める。"
     "ほかの値: 10 番と同じ速度照査と時間照査"},
    {13, 13, "ST pair end", "As type 11, on the route of type 12 (mode bit 0x08).", "-",
     "11 番と同じ。12 番と同じ条件 (モードの 0x08 のビット) で受ける。", "-"},
    {15, 15, "cab signal start",
     "On lines whose line code has 0x08, while ATS-ST is not in force: starts the signal speed "
     "check of the cab (aspect-coded supervision); from then on types 0 to 13 are ignored.",
     "-",
     "線区コードに 0x08 を持つ線区で、ATS-ST が働いていないとき: 車内信号式の速度照査を"
     "始める。以後 0～13 番は無視する。",
     "-"},
    {22, 22, "PT aspect target",
     "In the aspect-table variant (mode bit 0x10): the signal's target point lies Distance + "
     "Offset ahead; the speed of the aspect must be reached there. Otherwise: nothing.",
     "-1: the next block is not taken, as at a stop aspect; other values are not used",
     "信号現示表の方式 (モードの 0x10 のビット) のとき: Distance + Offset 先を目標点にし、"
     "そこまでに現示の速度へ落とさせる。それ以外では何もしない。",
     "-1: 停止現示のときと同じく次の閉そくを取らない。ほかの値は使わない"},
    {50, 50, "line code",
     "Line equipment from here on: the line code becomes the low 8 bits of Optional. With bits "
     "0x01, 0x02 and 0x04 all set the train runs both protections at once (mode 7, or 15 with "
     "0x08). Bit 0x20 or 0x100 lets the pattern protection take types 3 and 4 (never cleared).",
     "bits: 0x04 pattern-protection line (types 51 to 89 enter it); 0x07 both protections; "
     "0x08 aspect-coded line (types 12, 13, 15); 0x10 start in the aspect-table variant; 0x20 "
     "or 0x100 types 3 and 4 for the pattern protection; whole values 71 and 133 choose those "
     "modes when pattern territory is entered; 4: the maximum speed is watched outside pattern "
     "territory; 5: the pattern brake release starts at once",
     "ここから先の線区設備: 線区コードを Optional の下位 8 ビットにする。0x01, 0x02, 0x04 の"
     "ビットがすべて立っていれば、両方の ATS を同時に使う (モード 7、0x08 もあれば 15)。"
     "0x20 か 0x100 のビットで、パターン式が 3 番と 4 番も受けるようになる (戻らない)。",
     "ビット: 0x04 パターン式ATSのある線区 (51～89 番で開始)。0x07 両方の ATS。"
     "0x08 車内信号の線区 (12, 13, 15 番)。0x10 信号現示表の方式で起動。"
     "0x20 か 0x100 パターン式が 3 番と 4 番を受ける。値 71 と 133: パターン区間に入ったとき"
     "そのモードにする。値 4: パターン区間の外でも最高速度を見張る。"
     "値 5: パターンブレーキ開放がすぐ始まる"},
    {55, 55, "line voltage",
     "Nominal line voltage for the voltage model (panel and power reduction).",
     "volts, 1 or more; other values: ignored",
     "架線電圧モデルの公称電圧 (パネルと出力低減に使う)。", "ボルト。1 以上。ほかの値は無視"},
    {56, 56, "voltage spread", "How far the line voltage spreads around the nominal voltage.",
     "volts, 0 or more and below the nominal voltage; other values: ignored",
     "架線電圧が公称電圧からどれだけ振れるか。", "ボルト。0 以上で公称電圧未満。ほかの値は無視"},
    {57, 57, "voltage wander", "How fast the line voltage wanders.",
     "0 to 9; other values: ignored", "架線電圧の揺らぎの速さ。", "0～9。ほかの値は無視"},
    {60, 60, "PT signal",
     "Pattern protection stop signal (also enters pattern territory, as types 51 to 89). Only "
     "from a moving train not yet past a stop point: the stop point lies Distance m ahead (4 to "
     "3996 m), plus the middle group when Signal is 1 or more, plus the last group when Signal "
     "is 3 or more. With Signal 0 and Distance below 40 m the train can no longer stop: by the "
     "sub-kind, 0 gives the emergency brake and an 80 m zone at 15 km/h beyond the signal; 1 "
     "(modes 4 and 133) a zone of the middle group + 4 m at 25 km/h; others no zone.",
     "sub-kind x 1 000 000 000 + first x 1 000 000 + middle x 1000 + last; each group in 4 m "
     "steps (0 to 999); the first group is not used",
     "パターン式の信号地上子 (51～89 番と同じくパターン区間にも入る)。走行中で、まだ停止点を"
     "過ぎていないときだけ: 停止点を Distance m 先 (4～3996 m) にし、Signal が 1 以上なら中の組、"
     "3 以上なら後の組の距離を足す。Signal 0 で Distance が 40 m 未満 (もう止まれない) のときは"
     "種別で: 0 は非常ブレーキと、信号の先 80 m・15 km/h の過走防護区間。1 (モード 4 と 133) は"
     "中の組 + 4 m・25 km/h の区間。ほかは区間なし。",
     "種別 x 1 000 000 000 + 前 x 1 000 000 + 中 x 1000 + 後。各組は 4 m 単位 (0～999)。"
     "前の組は使わない"},
    {61, 61, "PT top speed",
     "The maximum speed of the pattern protection (also enters pattern territory).", "km/h",
     "パターン式の最高速度 (パターン区間にも入る)。", "km/h"},
    {62, 62, "PT signal distance",
     "As the first case of type 60 (stop point from Distance and the groups), without the "
     "close-range zone rules (also enters pattern territory).",
     "as type 60",
     "60 番の通常の場合と同じ停止点 (近距離の過走防護の扱いはない。パターン区間にも入る)。",
     "60 番と同じ"},
    {64, 64, "PT stop pattern",
     "A stop point or a protection zone at Distance + extra metres (also enters pattern "
     "territory); with Signal 0 the emergency brake acts at once.",
     "sub-kind x 10000 + extra metres: 0 a stop point; 1 or 3 a zone at 35 km/h; 2 a zone at "
     "25 km/h; other sub-kinds: ignored",
     "Distance + 追加距離 の位置に停止点か過走防護区間を置く (パターン区間にも入る)。"
     "Signal が 0 ならただちに非常ブレーキ。",
     "種別 x 10000 + 追加距離 (m): 0 停止点、1 か 3 は 35 km/h の区間、2 は 25 km/h の区間。"
     "ほかの種別は無視"},
    {68, 68, "PT hold",
     "Pattern hold: the stop point and the limit ahead are dropped and no distance counts down "
     "until type 69 or 75 (also enters pattern territory).",
     "-",
     "パターン保留: 停止点と先の制限を消し、69 番か 75 番までは距離を数えない "
     "(パターン区間にも入る)。",
     "-"},
    {69, 69, "PT hold end", "Ends the pattern hold (also enters pattern territory).", "-",
     "パターン保留を終える (パターン区間にも入る)。", "-"},
    {70, 70, "PT speed limit",
     "A speed limit ahead, taken only from a moving train (also enters pattern territory).",
     "S x 1 000 000 + D x 1000 + L: S x 5 km/h from D x 4 m ahead for L x 4 m plus the train's "
     "length",
     "前方の速度制限。走行中だけ受ける (パターン区間にも入る)。",
     "S x 1 000 000 + D x 1000 + L: D x 4 m 先から、L x 4 m + 編成長 のあいだ S x 5 km/h"},
    {71, 71, "station approach",
     "Station approach indicator, taken only from a moving train (does not enter pattern "
     "territory).",
     "N x 1 000 000 + A x 1000 + B: station N, the lamp A x 4 m ahead, ending B x 4 m beyond the "
     "lamp; negative: ignored",
     "駅接近の表示。走行中だけ受ける (パターン区間には入らない)。",
     "N x 1 000 000 + A x 1000 + B: 駅 N、表示灯は A x 4 m 先、その B x 4 m "
     "先で終わる。負の値は無視"},
    {75, 75, "PT gradient",
     "The gradient term of the patterns, and the end of a pattern hold (also enters pattern "
     "territory).",
     "per mille, -50 to 50; a rise and a fall of the same size give the same term; other values "
     "change only the hold",
     "パターンの勾配補正。パターン保留も終える (パターン区間にも入る)。",
     "パーミル、-50～50。同じ大きさの上りと下りは同じ補正になる。範囲外は保留を終えるだけ"},
    {80, 80, "panel location", "The location the panel shows.", "metres",
     "パネルに表示する距離程。", "メートル"},
    {90, 90, "end of PT",
     "End of pattern territory: the pattern protection stops and ATS-ST takes over; the bell "
     "rings once.",
     "-", "パターン区間の終わり: パターン式は止まり ATS-ST に戻る。ベルが 1 回鳴る。", "-"},
    {51, 89, "PT beacon",
     "Any other type from 51 to 89 enters pattern territory, on a line whose line code has 0x04, "
     "with the ATS power on, the pattern not cut out, the change-over switch not on spot only "
     "and the master-controller key in; the bell rings and ATS-ST stands aside (unless both "
     "protections are in use). The beacon itself changes nothing more.",
     "-",
     "ほかの 51～89 番はパターン区間の開始。線区コードに 0x04 があり、ATS 電源が入り、"
     "パターン開放されておらず、切換スイッチが ST 単独でなく、マスコンキーが入っているときだけ。"
     "ベルが鳴り、ATS-ST は退く (両方の ATS を使う場合を除く)。地上子自体はそれ以上何もしない。",
     "-"},
    {101, 119, "PT variant beacon",
     "Selects the target variant (mode 133) and rings the bell when the variant changes. 101: the "
     "target is here; 102: the target is Distance ahead; 103: Optional metres ahead; 105: a "
     "speed limit encoded as type 70 (standing trains too); 111: a limit of Optional km/h from "
     "here; 112: a limit of Optional km/h 600 m ahead; 113: the limit in force ends once the "
     "train has passed; other types only select the variant.",
     "103: metres; 105: as type 70; 111, 112: km/h; others: not used",
     "目標点の方式 (モード 133) にする。方式が変わればベル。101: 目標点はここ、102: Distance 先、"
     "103: Optional m 先。105: 70 番と同じ形の速度制限 (停車中も受ける)。111: ここから Optional "
     "km/h の制限。112: 600 m 先から Optional km/h の制限。113: 列車が通過しきったところで今の"
     "制限を終える。ほかの番号は方式を選ぶだけ。",
     "103: メートル。105: 70 番と同じ。111, 112: km/h。ほかは使わない"},
    {120, 121, "TASC stop distance",
     "TASC: the distance to the stop mark, taken by a TASC that is fitted and switched on, from a "
     "train moving forward; a later one corrects the stop in progress.",
     "120: metres; 121: centimetres; negative: ignored",
     "TASC: 停止位置までの距離。TASC を装備してスイッチが入っていて、前進中のときだけ受ける。"
     "あとの地上子で停止中の目標を補正する。",
     "120: メートル。121: センチメートル。負の値は無視"},
    {122, 122, "platform doors",
     "Platform doors interlocked with TASC, only when [TASC] PlatformDoor fits them.",
     "2: a platform with doors ahead; 1: arrival at it; other values: departure",
     "TASC と連動するホームドア。[TASC] PlatformDoor で装備したときだけ。",
     "2: この先にホームドアのある駅。1: その駅に到着。ほかの値: 出発"},
    {130, 149, "PT variant beacon",
     "Selects the track variant (mode bit 0x40) and drops the stop point; rings the bell when the "
     "variant changes. 131: maximum speed by Signal 0, 1, 2, 3, 4 = 0, 30, 65, 95, 130 km/h; "
     "132: Signal 0 or 1 = 30, 2 = 95, 3 and above = 130 km/h; 133: the same with 45 for 0 or 1; "
     "other types only select the variant.",
     "-",
     "線路の方式 (モードの 0x40 のビット) にして停止点を消す。方式が変わればベル。"
     "131: Signal 0, 1, 2, 3, 4 で最高速度 0, 30, 65, 95, 130 km/h。132: Signal 0 か 1 で 30、"
     "2 で 95、3 以上で 130 km/h。133: 同じく 0 か 1 で 45。ほかの番号は方式を選ぶだけ。",
     "-"},
    {200, 200, "PT top speed",
     "As type 131, 132 or 133 for Optional 1, 2 or 3 (the maximum speed by Signal, track "
     "variant).",
     "1, 2 or 3; other values: ignored",
     "Optional が 1, 2, 3 なら 131, 132, 133 番と同じ (Signal による最高速度、線路の方式)。",
     "1, 2, 3。ほかの値は無視"},
    {205, 207, "PT speed limit",
     "A speed limit ahead of the beacon (its Distance and Offset play no part); selects the "
     "track variant (mode bit 0x40) even when the value is ignored.",
     "D x 1000 + V: V km/h (rounded down to 5 km/h steps) from D m ahead (rounded down to 4 m, at "
     "most 3996 m); V below 5 ends the limit in force once the train has passed; negative: "
     "ignored",
     "地上子から先の速度制限 (Distance と Offset は使わない)。値が無視される場合も線路の方式 "
     "(モードの 0x40 のビット) にする。",
     "D x 1000 + V: D m 先 (4 m 単位に切り捨て、最大 3996 m) から V km/h (5 km/h 単位に切り捨て)。"
     "V が 5 未満なら、列車が通過しきったところで今の制限を終える。負の値は無視"},
    {245, 249, "display channel",
     "The period of display channel 0 to 4 (types 245 to 249); 248 only with [PANEL] Station, "
     "249 only with [PANEL] CarNumber.",
     "the period",
     "表示チャンネル 0～4 (245～249 番) の周期。248 は [PANEL] Station、"
     "249 は [PANEL] CarNumber があるときだけ。",
     "周期"},
    {250, 255, "display value", "A value the panel shows (six values, one per type).", "the value",
     "パネルに表示する値 (番号ごとに 1 つ、全部で 6 つ)。", "値"},
};

} // namespace velqa3
