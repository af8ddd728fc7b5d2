// 창의 바탕색을 차례로 바꾸는 프로그램입니다.
// 색은 0xBBGGRR 모양의 숫자로 씁니다. (파랑, 초록, 빨강 순서)

var colors = [0xFFFFFF, 0x7FD7FF, 0x9EE6A8, 0xF5C98B, 0xC9A0F0];
var names = ["하양", "노랑", "초록", "하늘", "분홍"];
var index = 0;

// Run 버턴을 클릭하면 한 번만 실행 됩니다.
function setup() {
    console.log("색이 1초마다 바뀝니다.");
}

// Run 버턴을 클릭하면 setup() 실행 이후 계속 반복 실행 됩니다.
function loop() {
    Screen.Color = colors[index];
    Screen.Caption = names[index];

    // 다음 색으로 넘어가고, 끝까지 가면 처음으로 돌아갑니다.
    index = (index + 1) % colors.length;

    delay(1000);
}
