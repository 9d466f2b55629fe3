<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN">
<context>
    <name>CutView</name>
    <message>
        <source>Route Sample</source>
        <translation>路径示例</translation>
    </message>
</context>
<context>
    <name>CutterJobs</name>
    <message>
        <source>moving the sheet out...</source>
        <translation>正在送出纸张...</translation>
    </message>
    <message>
        <source>moving the sheet out and the next one in...</source>
        <translation>正在送出本张并送入下一张...</translation>
    </message>
    <message>
        <source>checking for paper...</source>
        <translation>正在检查纸张...</translation>
    </message>
    <message>
        <source>No paper: waiting for the operator to load the media container...</source>
        <translation>缺纸：等待操作员装入纸盒...</translation>
    </message>
    <message>
        <source>feeding...</source>
        <translation>正在进纸...</translation>
    </message>
    <message>
        <source>checking for the next sheet...</source>
        <translation>正在检查下一张纸...</translation>
    </message>
    <message>
        <source>pre-feeding the next sheet...</source>
        <translation>正在预送下一张纸...</translation>
    </message>
    <message>
        <source>moving to the start position...</source>
        <translation>正在移动到起始位置...</translation>
    </message>
    <message>
        <source>cutting...</source>
        <translation>正在切割...</translation>
    </message>
    <message>
        <source>searching for the mark...</source>
        <translation>正在寻找定位标记...</translation>
    </message>
    <message>
        <source>searching for the QR code...</source>
        <translation>正在寻找二维码...</translation>
    </message>
    <message>
        <source>no plot file for this sheet, moving it out uncut...</source>
        <translation>此纸张没有对应的切割文件，不切割直接送出...</translation>
    </message>
    <message>
        <source>registering...</source>
        <translation>正在定位...</translation>
    </message>
    <message>
        <source>mark not found, moving the sheet out uncut...</source>
        <translation>未找到定位标记，不切割直接送出...</translation>
    </message>
    <message>
        <source>reading the QR code...</source>
        <translation>正在读取二维码...</translation>
    </message>
    <message>
        <source>waiting %1 s for the feeder...</source>
        <translation>等待送纸器 %1 秒...</translation>
    </message>
    <message>
        <source>Sheet %1 of %2: %3</source>
        <translation>第 %1 张，共 %2 张：%3</translation>
    </message>
    <message>
        <source>Waiting for the cutter...</source>
        <translation>正在等待切割机...</translation>
    </message>
    <message>
        <source>Connecting to the cutter...</source>
        <translation>正在连接切割机...</translation>
    </message>
    <message>
        <source>Reading the QR code...</source>
        <translation>正在读取二维码...</translation>
    </message>
    <message>
        <source>Cutting the sheet...</source>
        <translation>正在切割纸张...</translation>
    </message>
    <message>
        <source>Sheet %1, place %2 of %3: cutting...</source>
        <translation>第 %1 张，第 %2 个位置（共 %3 个）：正在切割...</translation>
    </message>
    <message>
        <source>Moving to the next place...</source>
        <translation>正在移动到下一个位置...</translation>
    </message>
    <message>
        <source>Nothing to do: Count is 0</source>
        <translation>无需处理：数量为 0</translation>
    </message>
    <message>
        <source>Stopped: no paper was loaded (%1 sheets done)</source>
        <translation>已停止：未装入纸张（已处理 %1 张）</translation>
    </message>
    <message>
        <source>Finished</source>
        <translation>完成</translation>
    </message>
    <message>
        <source>Ended: the cutter stopped answering (%1)</source>
        <translation>已结束：切割机不再应答（%1）</translation>
    </message>
    <message>
        <source>Ended: the USB cutter is gone (%1)</source>
        <translation>已结束：USB 切割机已断开（%1）</translation>
    </message>
    <message>
        <source>Stopped by the operator (%1)</source>
        <translation>操作员已停止（%1）</translation>
    </message>
    <message>
        <source>%1 (%2)</source>
        <translation>%1（%2）</translation>
    </message>
    <message>
        <source>%1: %2</source>
        <translation>%1：%2</translation>
    </message>
    <message>
        <source>Not started</source>
        <translation>未开始</translation>
    </message>
    <message>
        <source>%1 s</source>
        <translation>%1 秒</translation>
    </message>
    <message>
        <source>%1 min %2 s</source>
        <translation>%1 分 %2 秒</translation>
    </message>
    <message>
        <source>%1 h %2 min</source>
        <translation>%1 小时 %2 分</translation>
    </message>
    <message>
        <source>Not started: no plot file is chosen</source>
        <translation>未开始：未选择切割文件</translation>
    </message>
    <message>
        <source>Not started: %1 cannot be read</source>
        <translation>未开始：无法读取 %1</translation>
    </message>
    <message>
        <source>Not started: %1 does not begin with an MD instruction</source>
        <translation>未开始：%1 不是以 MD 指令开头</translation>
    </message>
    <message>
        <source>Not started: %1 is too large to send</source>
        <translation>未开始：%1 太大，无法发送</translation>
    </message>
    <message>
        <source>Not started: no crease or cut lines in %1</source>
        <translation>未开始：%1 中没有压痕线或切割线</translation>
    </message>
    <message>
        <source>Not started: %1 gives no sheet size in its MD instruction, so it cannot be rotated</source>
        <translation>未开始：%1 的 MD 指令未给出纸张尺寸，无法旋转</translation>
    </message>
    <message>
        <source>Connect Error: no answer from %1 port %2 (%3)</source>
        <translation>连接错误：%1 端口 %2 无应答（%3）</translation>
    </message>
    <message>
        <source>%1: the cutter address &quot;%2&quot; is not valid</source>
        <translation>%1：切割机地址“%2”无效</translation>
    </message>
    <message>
        <source>Not cut: the QR code names no plot file</source>
        <translation>未切割：二维码没有对应的切割文件</translation>
    </message>
    <message>
        <source>the cutter is in use by another program</source>
        <translation>切割机正被其他程序占用</translation>
    </message>
    <message>
        <source>no USB cutter %1 is attached</source>
        <translation>未连接 USB 切割机 %1</translation>
    </message>
    <message>
        <source>%1: the cutter did not answer</source>
        <translation>%1：切割机无应答</translation>
    </message>
    <message>
        <source>Set Origin</source>
        <translation>设置记忆点</translation>
    </message>
    <message>
        <source>Origin stored: %1, %2</source>
        <translation>已记住记忆点：%1, %2</translation>
    </message>
    <message>
        <source>Back Origin</source>
        <translation>回到记忆点</translation>
    </message>
    <message>
        <source>Back at the origin %1, %2</source>
        <translation>已回到记忆点 %1, %2</translation>
    </message>
    <message>
        <source>Auto-Adjust</source>
        <translation>自动校准</translation>
    </message>
    <message>
        <source>%1: the calibration pattern %2 cannot be read (%3)</source>
        <translation>%1：无法读取校准图案 %2（%3）</translation>
    </message>
    <message>
        <source>%1: the mark was not found; check the pen drawing</source>
        <translation>%1：未找到标记，请检查笔画的图案</translation>
    </message>
    <message>
        <source>Ended: the connection to the cutter was lost (%1)</source>
        <translation>已结束：与切割机的连接已断开（%1）</translation>
    </message>
    <message>
        <source>Ended: the cutter&apos;s answer &quot;%1&quot; is not a position (%2)</source>
        <translation>已结束：切割机的应答“%1”不是坐标（%2）</translation>
    </message>
    <message>
        <source>%1: the cutter&apos;s answer &quot;%2&quot; is not a position</source>
        <translation>%1：切割机的应答“%2”不是坐标</translation>
    </message>
    <message>
        <source>Not cut: the cutter found no QR code</source>
        <translation>未切割：切割机没有找到二维码</translation>
    </message>
    <message>
        <source>%1: the cutter was lost during the move</source>
        <translation>%1：移动过程中与切割机失去联系</translation>
    </message>
    <message>
        <source>%1: the second reading failed, so the first one&apos;s offset %2, %3 mm is stored; check the pen drawing and run it again</source>
        <translation>%1：第二次读取失败，已保存第一次的偏移 %2, %3 mm；请检查笔画的图案后重新校准</translation>
    </message>
    <message>
        <source>%1: camera offset stored as %2, %3 mm</source>
        <translation>%1：摄像头偏移已保存为 %2, %3 毫米</translation>
    </message>
    <message>
        <source>Finished: %1 sheets cut</source>
        <translation>完成：已切割 %1 张</translation>
    </message>
    <message>
        <source>%1 (%2 so far, about %3 left)</source>
        <translation>%1（已用 %2，约剩 %3）</translation>
    </message>
    <message>
        <source>%1 (%2 so far)</source>
        <translation>%1（已用 %2）</translation>
    </message>
    <message>
        <source>Sheet %1 done; next: place %2 of %3. Press Space or Volume Up (%4 so far)</source>
        <translation>第 %1 张完成；下一个：第 %2 个位置（共 %3 个）。请按空格键或音量加键（已用 %4）</translation>
    </message>
    <message>
        <source>Camera set-up</source>
        <translation>摄像头设置</translation>
    </message>
    <message>
        <source>%1: the cutter did not become idle within %2</source>
        <translation>%1：切割机在 %2 内未进入空闲</translation>
    </message>
    <message>
        <source>%1: the cutter gave no camera address</source>
        <translation>%1：切割机没有给出摄像头地址</translation>
    </message>
    <message>
        <source>%1: the camera is at %2</source>
        <translation>%1：摄像头地址为 %2</translation>
    </message>
    <message>
        <source>%1; the run log could not be written: %2</source>
        <translation>%1；运行记录无法写入：%2</translation>
    </message>
    <message>
        <source>Finished: %1 sheets cut, %2 moved out uncut: %3</source>
        <translation>完成：已切割 %1 张，%2 张未切割即送出：%3</translation>
    </message>
    <message>
        <source>%1 no mark</source>
        <translation>%1 张未找到标记点</translation>
    </message>
    <message>
        <source>%1 no QR file</source>
        <translation>%1 张无二维码对应文件</translation>
    </message>
    <message>
        <source>Not started: %1 is too large to be a plot file (%2 MB)</source>
        <translation>未开始：%1 太大，不可能是绘图文件（%2 MB）</translation>
    </message>
</context>
<context>
    <name>KnifeView</name>
    <message>
        <source>Pen Nose</source>
        <translation>刀尖示例</translation>
    </message>
</context>
<context>
    <name>MainWidget</name>
    <message>
        <source>01. Single File, Blank Cut.</source>
        <translation>01. 单文件，空白切割。</translation>
    </message>
    <message>
        <source>02. Single File, Matrix Blank.</source>
        <translation>02. 单文件，空白矩阵。</translation>
    </message>
    <message>
        <source>03. Single File, Scan Mark.</source>
        <translation>03. 单文件，扫描标记点。</translation>
    </message>
    <message>
        <source>04. Single File, Matrix Scan.</source>
        <translation>04. 单文件，标记点矩阵。</translation>
    </message>
    <message>
        <source>05. QR Filter, Scan Mark.</source>
        <translation>05. 二维码过滤，扫描标记点。</translation>
    </message>
    <message>
        <source>06. QR Filter, Matrix Scan.</source>
        <translation>06. 二维码过滤，标记点矩阵。</translation>
    </message>
    <message>
        <source>&lt;</source>
        <translation>上一个</translation>
    </message>
    <message>
        <source>&gt;</source>
        <translation>下一个</translation>
    </message>
    <message>
        <source>Auto-Adjust Completed!</source>
        <translation>自动调整完成！</translation>
    </message>
    <message>
        <source>Auto-Offset</source>
        <translation>自动校准</translation>
    </message>
    <message>
        <source>Back Origin</source>
        <translation>回到记忆点</translation>
    </message>
    <message>
        <source>Calibrate</source>
        <translation>自动校准</translation>
    </message>
    <message>
        <source>Check media container...&lt;br&gt;Load media and press &lt;font color=green&gt;OK&lt;/font&gt; to Continue,&lt;br&gt;Or press &lt;font color=red&gt;Cancel&lt;/font&gt; to Exit!</source>
        <translation>检查纸张容器，放入纸张按&lt;font color=green&gt;OK&lt;/font&gt; 继续,&lt;br&gt;或 按 &lt;font color=red&gt;Cancel&lt;/font&gt; 退出！</translation>
    </message>
    <message>
        <source>Close Offset:</source>
        <translation>闭合补偿:</translation>
    </message>
    <message>
        <source>Connect</source>
        <translation>连接</translation>
    </message>
    <message>
        <source>Count:</source>
        <translation>数量:</translation>
    </message>
    <message>
        <source>Current Device:</source>
        <translation>当前设备:</translation>
    </message>
    <message>
        <source>Device Select</source>
        <translation>设备选择</translation>
    </message>
    <message>
        <source>Eject Distance:</source>
        <translation>退纸距离:</translation>
    </message>
    <message>
        <source>Feed Config</source>
        <translation>送纸配置</translation>
    </message>
    <message>
        <source>Feed Distance:</source>
        <translation>送纸距离:</translation>
    </message>
    <message>
        <source>File Select</source>
        <translation>文件选择</translation>
    </message>
    <message>
        <source>Torvane</source>
        <translation>Torvane 平板切割机</translation>
    </message>
    <message>
        <source>IP Addr:</source>
        <translation>IP地址:</translation>
    </message>
    <message>
        <source>Idle...</source>
        <translation>空闲</translation>
    </message>
    <message>
        <source>The cutter is in use by another program</source>
        <translation>切割机正被其他程序占用</translation>
    </message>
    <message>
        <source>Knife Offset:</source>
        <translation>尖角补偿:</translation>
    </message>
    <message>
        <source>Lines View</source>
        <translation>路径预览</translation>
    </message>
    <message>
        <source>Matrix .</source>
        <translation>矩阵1x1.</translation>
    </message>
    <message>
        <source>Matrix ..</source>
        <translation>矩阵2x1..</translation>
    </message>
    <message>
        <source>Matrix ::</source>
        <translation>矩阵2x2::</translation>
    </message>
    <message>
        <source>Matrix Config</source>
        <translation>矩阵配置</translation>
    </message>
    <message>
        <source>Matrix Mark Space H:</source>
        <translation>矩阵标记点横向间距:</translation>
    </message>
    <message>
        <source>Matrix Mark Space V:</source>
        <translation>矩阵标记点纵向间距:</translation>
    </message>
    <message>
        <source>Misc Config</source>
        <translation>其他配置</translation>
    </message>
    <message>
        <source>Mode Select</source>
        <translation>模式选择:</translation>
    </message>
    <message>
        <source>No Paper...</source>
        <translation>缺纸</translation>
    </message>
    <message>
        <source>Offset Arg:</source>
        <translation>偏移参数:</translation>
    </message>
    <message>
        <source>PassWD:</source>
        <translation>密码:</translation>
    </message>
    <message>
        <source>Repeat Crease</source>
        <translation>重复压痕</translation>
    </message>
    <message>
        <source>Repeat Cut     </source>
        <translation>重复切割</translation>
    </message>
    <message>
        <source>Rotate</source>
        <translation>旋转</translation>
    </message>
    <message>
        <source>Route Config</source>
        <translation>路径配置</translation>
    </message>
    <message>
        <source>SSID:</source>
        <translation>无线网名称:</translation>
    </message>
    <message>
        <source>Sample File:</source>
        <translation>文件样例:</translation>
    </message>
    <message>
        <source>Select a File.</source>
        <translation>选择文件。</translation>
    </message>
    <message>
        <source>Seq</source>
        <translation>次</translation>
    </message>
    <message>
        <source>Set</source>
        <translation>设置</translation>
    </message>
    <message>
        <source>Set Origin</source>
        <translation>设置记忆点</translation>
    </message>
    <message>
        <source>Smart Scan</source>
        <translation>智能扫描</translation>
    </message>
    <message>
        <source>Start Auto-Adjust</source>
        <translation>开始自动调整</translation>
    </message>
    <message>
        <source>State View</source>
        <translation>状态预览</translation>
    </message>
    <message>
        <source>Use pen, put a blank paper, and press &lt;font color=green&gt;OK&lt;/font&gt; to Run.</source>
        <translation>使用笔，放上空白纸张，按下OK开始。</translation>
    </message>
    <message>
        <source>Wireless Camera View</source>
        <translation>无线摄像头预览</translation>
    </message>
    <message>
        <source>Start</source>
        <translation>开始</translation>
    </message>
    <message>
        <source>EnSeek</source>
        <translation>开启识别</translation>
    </message>
    <message>
        <source>Stop</source>
        <translation>停止</translation>
    </message>
    <message>
        <source>DeSeek</source>
        <translation>关闭识别</translation>
    </message>
    <message>
        <source>Warning</source>
        <translation>警告</translation>
    </message>
    <message>
        <source>Connect Error!</source>
        <translation>连接错误！</translation>
    </message>
    <message>
        <source>Back</source>
        <translation>返回</translation>
    </message>
    <message>
        <source>&lt;font color=green&gt;OK!&lt;/font&gt;</source>
        <translation>&lt;font color=green&gt;完成！&lt;/font&gt;</translation>
    </message>
    <message>
        <source>Use a selected file, cut on a blank paper.</source>
        <translation>使用选定的文件，在空白纸上切割。</translation>
    </message>
    <message>
        <source>Use a selected file, cut on one two or four blank paper arrange into a matrix.</source>
        <translation>使用选定的文件，在排成矩阵的一张、两张或四张空白纸上切割。</translation>
    </message>
    <message>
        <source>Use a selected file, cut on a printed paper with mark.</source>
        <translation>使用选定的文件，在带定位标记的印刷纸上切割。</translation>
    </message>
    <message>
        <source>Use a selected file, cut on one two or four printed paper arrange into a matrix.</source>
        <translation>使用选定的文件，在排成矩阵的一张、两张或四张印刷纸上切割。</translation>
    </message>
    <message>
        <source>Use QR Code to filter which file to send, you need to move the carriage back after cut.</source>
        <translation>用二维码选择要发送的文件，切割后需要把刀架移回。</translation>
    </message>
    <message>
        <source>Use QR Code to filter which file to send, cut on one two or four printed paper arrange into a matrix.</source>
        <translation>用二维码选择要发送的文件，在排成矩阵的一张、两张或四张印刷纸上切割。</translation>
    </message>
    <message>
        <source>AF. Blank Cut, Single Feed.</source>
        <translation>自动送纸：空白切割，单张送纸。</translation>
    </message>
    <message>
        <source>AF. Blank Cut, Feed While Cutting.</source>
        <translation>自动送纸：空白切割，边切边送。</translation>
    </message>
    <message>
        <source>AF. Single File, Single Feed.</source>
        <translation>自动送纸：单文件，单张送纸。</translation>
    </message>
    <message>
        <source>AF. Single File, Feed While Cutting.</source>
        <translation>自动送纸：单文件，边切边送。</translation>
    </message>
    <message>
        <source>AF. QR Filter, Single Feed.</source>
        <translation>自动送纸：二维码选文件，单张送纸。</translation>
    </message>
    <message>
        <source>AF. QR Filter, Feed While Cutting.</source>
        <translation>自动送纸：二维码选文件，边切边送。</translation>
    </message>
    <message>
        <source>Version %1</source>
        <translation>版本 %1</translation>
    </message>
    <message>
        <source>The plot file %1 does not exist.</source>
        <translation>绘图文件 %1 不存在。</translation>
    </message>
    <message>
        <source>%1 is a folder, not a plot file.</source>
        <translation>%1 是文件夹，不是绘图文件。</translation>
    </message>
    <message>
        <source>The plot file %1 cannot be read.</source>
        <translation>无法读取绘图文件 %1。</translation>
    </message>
    <message>
        <source>Plot files (*.plt *.hpgl *.hpg)</source>
        <translation>绘图文件 (*.plt *.hpgl *.hpg)</translation>
    </message>
    <message>
        <source>All files (*)</source>
        <translation>所有文件 (*)</translation>
    </message>
    <message>
        <source>Camera set-up: the Wi-Fi name is empty</source>
        <translation>摄像头设置：无线网名称为空</translation>
    </message>
    <message>
        <source>Camera: the address &quot;%1&quot; is not valid</source>
        <translation>摄像头：地址“%1”无效</translation>
    </message>
    <message>
        <source>Camera: showing %1</source>
        <translation>摄像头：正在显示 %1</translation>
    </message>
    <message>
        <source>Camera: %1 port %2 did not answer within %3 s (%4)</source>
        <translation>摄像头：%1 端口 %2 在 %3 秒内无应答（%4）</translation>
    </message>
    <message>
        <source>%1 does not begin with an MD instruction: it cannot be cut</source>
        <translation>%1 不是以 MD 指令开头，无法切割</translation>
    </message>
    <message>
        <source>%1 holds no crease or cut lines: it cannot be cut</source>
        <translation>%1 中没有压痕线或切割线，无法切割</translation>
    </message>
    <message>
        <source>%1: %2 paths, %3 × %4 mm</source>
        <translation>%1：%2 条路径，%3 × %4 毫米</translation>
    </message>
    <message>
        <source>The cutter is busy; try again when it has finished</source>
        <translation>切割机正忙，请在完成后重试</translation>
    </message>
    <message>
        <source>Cut order</source>
        <translation>切割顺序</translation>
    </message>
    <message>
        <source>Paths coloured from blue (cut first) to red (cut last), each with a dot where it starts and an arrow the way it goes</source>
        <translation>按切割先后着色：蓝色最先切，红色最后切；每条路径的起点画一个圆点，箭头指出走向</translation>
    </message>
    <message>
        <source>Matrix places</source>
        <translation>矩阵位置</translation>
    </message>
    <message>
        <source>The design at each place of the matrix, with the gaps set</source>
        <translation>在矩阵的每个位置画出图样，间距按所设</translation>
    </message>
    <message>
        <source>Camera: %1 sent a picture too large to show (over %2 × %2 pixels)</source>
        <translation>摄像头：%1 发来的图片太大，无法显示（超过 %2 × %2 像素）</translation>
    </message>
    <message>
        <source>Settings: ignored %1 in %2 (not a number)</source>
        <translation>设置：已忽略 %2 中的 %1（不是数字）</translation>
    </message>
    <message>
        <source>Settings not saved</source>
        <translation>设置未保存</translation>
    </message>
    <message>
        <source>The settings could not be written to %1.</source>
        <translation>无法将设置写入 %1。</translation>
    </message>
    <message>
        <source>%1 is not a regular file, not a plot file.</source>
        <translation>%1 不是普通文件，不是绘图文件。</translation>
    </message>
    <message>
        <source>%1 is too large to be a plot file (%2 MB).</source>
        <translation>%1 太大，不可能是绘图文件（%2 MB）。</translation>
    </message>
    <message>
        <source>Camera: %1 closed the stream</source>
        <translation>摄像头：%1 关闭了视频流</translation>
    </message>
</context>
<context>
    <name>RunLog</name>
    <message>
        <source>the folder %1 cannot be made</source>
        <translation>无法创建文件夹 %1</translation>
    </message>
    <message>
        <source>%1 cannot be written (%2)</source>
        <translation>无法写入 %1（%2）</translation>
    </message>
</context>
</TS>
